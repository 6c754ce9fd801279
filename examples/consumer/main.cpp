// traxo-history CONTAINER: lists the workflow steps of a container, newest
// first, with the number of files each embeds. Built against an installed
// libtraxolib with CMake (see CMakeLists.txt) or with pkg-config:
//   g++ -std=c++17 main.cpp $(pkg-config --cflags --libs traxolib) -o traxo-history
#include <traxolib.h>

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (app.arguments().size() != 2) {
        err << "usage: traxo-history CONTAINER\n";
        return 2;
    }

    traxo::TraxoParser parser(traxo::ParseTolerant);
    if (!parser.open(app.arguments().at(1))) {
        err << "traxo-history: not a readable container: " << app.arguments().at(1) << '\n';
        return 1;
    }
    out << traxo::getVersion() << '\n';
    const QList<traxo::SectionTag> steps = parser.getSections();
    out << steps.size() << " steps\n";
    for (int i = 0; i < steps.size(); ++i)
        out << i << '\t' << parser.getFilesInSection(steps.at(i).id).size() << " files\t" << steps.at(i).title << '\n';
    return 0;
}
