#pragma once
// The computer players' build template: one template serves every sample nation, since all of
// them share the sample building and unit lists.
#include <string>

namespace sampledata {

// The authored text form of the template.
const std::string& SampleTemplateText();
// Data\Template4.tpl, the binary form the computer players load.
bool WriteTemplates(const std::string& outDir);

} // namespace sampledata
