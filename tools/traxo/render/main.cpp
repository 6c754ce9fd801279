// traxo-render: `traxo render` in a program of its own, the only part of
// traxo that loads QtGui. traxo runs it in its place with the words after
// "render"; run by hand it takes the same words.

#include "console.h"
#include "offscreenrendercommand.h"

#include <QByteArrayList>

int main(int argc, char *argv[])
{
    Console::installMessageHandler();
    QByteArrayList words;
    for (int i = 1; i < argc; ++i)
        words.append(QByteArray(argv[i]));
    Console console;
    OffscreenRenderCommand command;
    return command.execute(argc, argv, words, console);
}
