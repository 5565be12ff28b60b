#include "app/Features.h"

#include "app/context/EditorFeature.h"
#include "app/features/columnselection/ColumnSelectionFeature.h"
#include "app/features/findinfiles/FindInFilesFeature.h"
#include "app/features/formatting/FormattingFeature.h"
#include "app/features/highlighting/HighlightingFeature.h"
#include "app/features/lines/LinesFeature.h"
#include "app/features/search/SearchFeature.h"

namespace vendrix::app {

// Each feature's issue fills in its factory here (and links its library in
// app/CMakeLists.txt, which already adds every app/features/<name> folder). The list is not
// called "slots": Qt defines that word as a macro once a feature header brings Qt in.
const std::vector<FeatureSlot>& featureSlots() {
    static const std::vector<FeatureSlot> installed{
        {"formatting",
         []() -> std::unique_ptr<EditorFeature> { return std::make_unique<FormattingFeature>(); }},
        {"highlighting", &makeHighlightingFeature},
        {"search",
         []() -> std::unique_ptr<EditorFeature> { return std::make_unique<SearchFeature>(); }},
        {"lines",
         []() -> std::unique_ptr<EditorFeature> { return std::make_unique<LinesFeature>(); }},
        {"findInFiles",
         []() -> std::unique_ptr<EditorFeature> { return std::make_unique<FindInFilesFeature>(); }},
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
