#pragma once
// A folder of resources, named by its path.

#include <string>

#include "Corral/base/Object.h"
#include "Corral/ui/UIExport.h"

namespace ui {

class UI_EXPORT Bundle final : public base::Object {
public:
    static base::Ref<Bundle> make(std::string path);
    // The folder holding the running program.
    static base::Ref<Bundle> mainBundle();
    explicit Bundle(std::string path) : path_(std::move(path)) {}

    const std::string& path() const noexcept { return path_; }

    std::string className() const override { return "ui::Bundle"; }
    bool isEqual(const Object& other) const noexcept override;
    std::size_t hash() const noexcept override;
    std::string description() const override { return path_; }

private:
    std::string path_;
};

}  // namespace ui
