#ifndef TAVO_MGR_KEYFAILURES_H
#define TAVO_MGR_KEYFAILURES_H

#include "TAVO_mgr_httpRequest.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class TAVO_mgr_mainManager;

// Tells the user of key commands that never reached the box ("Living Room did not answer the
// key MENU"): once per burst of the same failure, so that a held key or a run of clicks at a
// box that is gone says it once rather than once per key.
class TAVO_mgr_keyFailures : public QObject
{
    Q_OBJECT

public:
    // Failures of one kind further apart than this start a new burst.
    static constexpr int burstGapMs = 10000;

    explicit TAVO_mgr_keyFailures(TAVO_mgr_mainManager *registry, QObject *parent = nullptr);

    void failed(const QUrl &command, TAVO_mgr_httpRequest::Failure failure);
    void answered();

Q_SIGNALS:
    void report(const QString &text);

private:
    QString boxName(const QUrl &command) const;
    static QString text(const QString &box, const QString &key, TAVO_mgr_httpRequest::Failure failure);

    TAVO_mgr_mainManager *registry;
    QString burst;  // the box and failure of the last report, until the box answers
    QElapsedTimer sinceLastFailure;
};

#endif
