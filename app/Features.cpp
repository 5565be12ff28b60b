#include "app/Features.h"

#include "app/context/EditorFeature.h"
#include "app/features/columnselection/ColumnSelectionFeature.h"
#include "app/features/highlighting/HighlightingFeature.h"

namespace vendrix::app {

// Each feature's issue fills in its factory here (and links its library in
// app/CMakeLists.txt, which already adds every app/features/<name> folder).
const std::vector<FeatureSlot>& featureSlots() {
    static const std::vector<FeatureSlot> installed{
        {"formatting", nullptr},
        {"highlighting", &makeHighlightingFeature},
        {"search", nullptr},
        {"columnSelection",
         []() -> std::unique_ptr<EditorFeature> {
             return std::make_unique<ColumnSelectionFeature>();
         }},
    };
    return installed;
}

std::vector<std::unique_ptr<EditorFeature>> makeFeatures() {
    std::vector<std::unique_ptr<EditorFeature>> features;
    for (const FeatureSlot& slot : featureSlots())
        if (slot.make)
            if (auto feature = slot.make())
                features.push_back(std::move(feature));
    return features;
}

} // namespace vendrix::app
