#ifndef TRAXO_OPENDISPATCHER_H
#define TRAXO_OPENDISPATCHER_H

#include <QObject>

// Turns file-open events sent to the application (by the desktop, or posted
// for command-line arguments) into openFileRequested signals.
class OpenDispatcher : public QObject
{
    Q_OBJECT

public:
    explicit OpenDispatcher(QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void openFileRequested(const QString &filename);
};

#endif
