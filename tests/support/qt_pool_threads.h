// The threads of Qt's pool, as the kernel lists this process's threads.
//
// The application object's end joins them, but each thread frees Qt's record of it a moment
// after that, as it exits. A leak check run at the process's exit in between reports that
// record as leaked; test programs wait for the threads to be gone before they return.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

inline int QtPoolThreads() {
    int count = 0;
    const QDir tasks("/proc/self/task");
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name("/proc/self/task/" + task + "/comm");
        if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("Thread (pooled)"))
            ++count;
    }
    return count;
}

// True once none is left; false after `ms` with some still there.
inline bool WaitForQtPoolThreadsToEnd(int ms = 3000) {
    QElapsedTimer waited;
    waited.start();
    while (QtPoolThreads() > 0) {
        if (waited.elapsed() > ms) return false;
        QThread::msleep(2);
    }
    return true;
}
