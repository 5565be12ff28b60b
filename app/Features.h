#pragma once

#include <memory>
#include <string_view>
#include <vector>

namespace vendrix::app {

class EditorFeature;

/// One editor feature the application installs: its name and how to make it. A feature
/// that is not built yet has no factory and is skipped.
struct FeatureSlot {
    std::string_view name;
    std::unique_ptr<EditorFeature> (*make)() = nullptr;
};

/// The features in installation order: formatting, highlighting, search (find and replace,
/// multi-tab search), column selection. The order matters: each attaches to the editor and
/// contributes its menus after the ones before it.
const std::vector<FeatureSlot>& featureSlots();

/// A new instance of every available feature, in installation order.
std::vector<std::unique_ptr<EditorFeature>> makeFeatures();

} // namespace vendrix::app
