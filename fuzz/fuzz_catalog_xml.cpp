// The XML reader over arbitrary text: it parses or reports an error, and every cursor walk
// over what it parsed stays inside the document.
#include <cstddef>
#include <cstdint>
#include <string>

#include "level/XmlMarkup.h"

using namespace lithoscope;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CXmlMarkup xml;
    xml.SetDocument(std::string(reinterpret_cast<const char*>(data), size));
    int steps = 0;
    while (xml.FindSibling() && steps++ < 2000) {
        xml.GetAttribute("id");
        xml.GetTagName();
        auto saved = xml.SavePosition();
        while (xml.FindChild() && steps++ < 2000) xml.GetChildAttribute("name");
        if (xml.EnterChild()) {
            xml.FindSibling("a");
            xml.LeaveToParent();
        }
        xml.RestorePosition(saved.get());
    }
    return 0;
}
