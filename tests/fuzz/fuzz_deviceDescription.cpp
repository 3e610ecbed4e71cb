// libFuzzer target: any bytes a box may serve as its device description.

#include "TAVO_mgr_mainManager.h"
#include "TAVO_xml_xmlParser.h"

#include "fuzz_file.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString path = fuzzInputFile(data, size);
    QUrl url(QStringLiteral("http://127.0.0.2:49152/description.xml"));
    TAVO_mgr_mainManager registry(nullptr);
    TAVO_xml_xmlParser parser(nullptr);
    parser.setManager(&registry);
    parser.parseDeviceDescription(&path, &url);
    parser.parseDeviceDescription(&path, &url);
    return 0;
}
