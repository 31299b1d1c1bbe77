// Reading the learner's sources through the host's providers, and wrapping
// the host's blocks as providers.
#include "Corral/PaddockPage.h"
#include "Corral/base/Array.h"
#include "Corral/base/String.h"
#include "PaddockPageAccess.h"

std::string PaddockPage::text() const {
    auto provider = paddockTextProvider_;
    return (*provider)();
}

std::vector<std::string> PaddockPage::userModuleNames() const {
    auto provider = userModuleNamesProvider_;
    return (*provider)();
}

std::vector<std::string> PaddockPage::listSourceFiles(const std::string& moduleName) const {
    auto provider = userModuleSourceFileListProvider_;
    return (*provider)(moduleName);
}

std::optional<std::string> PaddockPage::getText(const std::string& fileName,
                                                const std::string& moduleName) const {
    auto provider = userModuleSourceFileTextProvider_;
    return (*provider)(fileName, moduleName);
}

namespace {

// A returned string object as text; anything else as no value.
std::optional<std::string> textOf(const base::ObjectRef& object) {
    auto string = base::cast<base::String>(object);
    return string ? std::optional<std::string>(string->text()) : std::nullopt;
}

// A returned array object as a list of strings. A null array reads as an
// empty list, and elements that are not string objects are skipped rather
// than trusted.
std::vector<std::string> namesOf(const base::ObjectRef& object) {
    std::vector<std::string> names;
    if (auto array = base::cast<base::Array>(object)) {
        names.reserve(array->count());
        for (const auto& element : *array)
            if (auto string = base::cast<base::String>(element)) names.push_back(string->text());
    }
    return names;
}

}  // namespace

void PaddockPageAccess::setTextProvider(PaddockPage& page, base::Ref<base::Block> block) {
    page.paddockTextProvider_ = std::make_shared<const PaddockPage::TextProvider>(
        [block = std::move(block)] { return textOf((*block)()).value_or(std::string()); });
}

void PaddockPageAccess::setNamesProvider(PaddockPage& page, base::Ref<base::Block> block) {
    page.userModuleNamesProvider_ = std::make_shared<const PaddockPage::NamesProvider>(
        [block = std::move(block)] { return namesOf((*block)()); });
}

void PaddockPageAccess::setFileListProvider(PaddockPage& page, base::Ref<base::Block> block) {
    page.userModuleSourceFileListProvider_ = std::make_shared<const PaddockPage::FileListProvider>(
        [block = std::move(block)](const std::string& moduleName) {
            return namesOf((*block)(base::String::make(moduleName)));
        });
}

void PaddockPageAccess::setFileTextProvider(PaddockPage& page, base::Ref<base::Block> block) {
    page.userModuleSourceFileTextProvider_ = std::make_shared<const PaddockPage::FileTextProvider>(
        [block = std::move(block)](const std::string& fileName, const std::string& moduleName) {
            return textOf((*block)(base::String::make(fileName), base::String::make(moduleName)));
        });
}
