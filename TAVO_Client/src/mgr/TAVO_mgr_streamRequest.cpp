#include "TAVO_mgr_streamRequest.h"

QString TAVO_mgr_streamRequest::query() { return QString(); }
bool TAVO_mgr_streamRequest::isEncrypted(const TAVO_SERVER &) { return false; }
QString TAVO_mgr_streamRequest::streamUrl(const TAVO_SERVER &) { return QString(); }
QString TAVO_mgr_streamRequest::knownHostsLine(const QString &) { return QString(); }
void TAVO_mgr_streamRequest::pinBoxKey(const QString &, const QString &) {}
