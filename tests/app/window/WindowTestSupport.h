#pragma once

#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"
#include "app/window/StatusBarView.h"
#include "app/window/TabBarView.h"
#include "core/text/TextStorage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vendrix::app::test {

/// A real window controller over a scratch folder, answering prompts and panels from
/// scripts and recording every event it broadcasts.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        controller = std::make_unique<EditorWindowController>(
            EditorWindowController::Options{&prompter, nullptr});
        controller->panels.open = [this] { return std::exchange(openAnswer, {}); };
        controller->panels.save = [this](const QString& proposed) -> std::optional<QString> {
            proposedNames.push_back(proposed);
            return std::exchange(saveAnswer, std::nullopt);
        };
        observation = controller->observe([this](const EditorEvent& event) {
            events.push_back({event.kind, event.document});
        });
        controller->ensureDocument();
        events.clear();
    }
    void TearDown() override { controller.reset(); }

    QString path(const QString& name) const { return folder.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path(name);
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static std::u16string text(const EditorDocument& document) {
        return document.storage() ? document.storage()->string() : std::u16string();
    }
    EditorDocument& active() { return *controller->activeDocument(); }
    std::size_t count() const { return controller->documentCount(); }
    QString statusMessage() const { return controller->statusBar()->message(); }
    /// The prompts' message texts, in order.
    QStringList promptMessages() const {
        QStringList messages;
        for (const PromptRequest& request : prompter.requests)
            messages << request.message;
        return messages;
    }
    void answer(int button) { prompter.answers.push_back({button, false}); }
    std::vector<EditorEvent::Kind> kinds() const {
        std::vector<EditorEvent::Kind> result;
        for (const auto& [kind, document] : events)
            result.push_back(kind);
        return result;
    }

    QTemporaryDir folder;
    ScriptedPrompter prompter;
    std::unique_ptr<EditorWindowController> controller;
    QStringList openAnswer;
    std::optional<QString> saveAnswer;
    QStringList proposedNames;
    EditorObservation observation;
    std::vector<std::pair<EditorEvent::Kind, EditorDocument*>> events;
};

} // namespace vendrix::app::test
