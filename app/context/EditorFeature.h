#pragma once

namespace vendrix::app {

class EditorContext;
class MenuBuilder;

/// An optional editor function (formatting, find, column selection, highlighting, multi-tab
/// search). It acts only through the context and learns what happens from its events.
/// Features are destroyed before the window they are attached to.
class EditorFeature {
public:
    virtual ~EditorFeature() = default;
    /// Called once after the window exists: register observers, status fields, accessories.
    virtual void attach(EditorContext& context) = 0;
    /// Called once with the menu builder: add the feature's commands.
    virtual void contributeMenus(MenuBuilder& builder) = 0;
};

} // namespace vendrix::app
