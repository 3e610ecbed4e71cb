// libFuzzer target: any bytes a box may serve as its remote-controller description.

#include "TAVO_xml_xmlParser.h"

#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString path = fuzzInputFile(data, size);
    TAVO_KEYS keys;
    TAVO_xml_xmlParser parser(nullptr);
    parser.parseRcuXml(&path, &keys);
    parser.parseRcuXml(&path, &keys);
    return 0;
}
