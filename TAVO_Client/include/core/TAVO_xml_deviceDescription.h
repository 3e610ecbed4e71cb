#ifndef TAVO_XML_DEVICEDESCRIPTION_H
#define TAVO_XML_DEVICEDESCRIPTION_H

#include "TAVO_mgr_defaultStructure.h"

class QDomElement;

// The fields of a box's device description, read into its record. Needs no window, so that
// discovery and the recording command read a description the same way.
namespace TAVO_xml_deviceDescription {

// Fills record from the description's root element; the host and port are left to the caller,
// who knows where the description came from.
void read(const QDomElement &root, TAVO_SERVER &record);

} // namespace TAVO_xml_deviceDescription

#endif
