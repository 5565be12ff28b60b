#pragma once

#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/session/RecentFiles.h"
#include "app/view/EditorTextView.h"
#include "app/window/EditorWindowController.h"
#include "app/window/StatusBarView.h"
#include "app/window/TabBarView.h"
#include "app/workspace/ApplicationState.h"
#include "app/workspace/FilePanels.h"
#include "app/workspace/SessionLink.h"
#include "app/workspace/WorkerProbe.h"
#include "core/text/TextStorage.h"

#include <QApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vendrix::app::test {

/// A session that records its writes and answers buffer reads from a table.
class ScriptedSession final : public SessionLink {
public:
    void scheduleSave() override { ++scheduled; }
    std::optional<QString> flush(bool synchronously) override {
        flushes.push_back(synchronously);
        return std::nullopt;
    }
    std::expected<std::u16string, BufferReadError>
    readBuffer(const std::string& name) const override {
        if (auto found = buffers.find(name); found != buffers.end())
            return found->second;
        if (anyOther)
            return *anyOther;
        return std::unexpected(BufferReadError{BufferReadError::Kind::missing, ENOENT});
    }
    std::filesystem::path buffersDirectory() const override { return directory; }

    std::map<std::string, std::expected<std::u16string, BufferReadError>> buffers;
    /// The text of every buffer not in `buffers`; none: they are missing.
    std::optional<std::u16string> anyOther;
    std::filesystem::path directory;
    /// Whether each write was synchronous, in order.
    std::vector<bool> flushes;
    int scheduled = 0;
};

/// A real window controller over a scratch folder, answering prompts and panels from
/// scripts and recording every event it broadcasts.
class WindowFixture : public ::testing::Test,
                      public FilePanels,
                      public WorkerProbe,
                      public ApplicationState {
protected:
    // The workers run what a test planted (set before the open or save starts).
    void openStep(double fraction) override {
        if (plantedOpenStep)
            plantedOpenStep(fraction);
    }
    int saveFault(std::string_view operation) override {
        return plantedSaveFault ? plantedSaveFault(operation) : 0;
    }
    /// The desktop's answer unless a test planted one.
    bool isActive() const override {
        return plantedApplicationActive
                   ? plantedApplicationActive()
                   : QGuiApplication::applicationState() == Qt::ApplicationActive;
    }

    // The panels answer from openAnswer and saveAnswer, once each.
    QStringList chooseFilesToOpen() override { return std::exchange(openAnswer, {}); }
    std::optional<QString> chooseSaveTarget(const QString& proposed) override {
        proposedNames.push_back(proposed);
        return std::exchange(saveAnswer, std::nullopt);
    }

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        recentFiles = std::make_unique<RecentFiles>(RecentFiles::defaultKey,
                                                    folder.filePath(".recent.json"));
        controller = std::make_unique<EditorWindowController>(
            EditorWindowController::Options{&prompter, nullptr, recentFiles.get(), this, this, this});
        observation = controller->observe([this](const EditorEvent& event) {
            events.push_back({event.kind, event.document});
        });
        controller->ensureDocument();
        events.clear();
    }
    void TearDown() override { controller.reset(); }
    QStringList recentPaths() const {
        QStringList paths;
        for (const RecentFiles::Entry& entry : recentFiles->load())
            paths << entry.path;
        return paths;
    }

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
    std::unique_ptr<RecentFiles> recentFiles;
    ScriptedPrompter prompter;
    /// Not the window's session until a test sets it (setSession).
    ScriptedSession session;
    /// Run by the workers (see openStep and saveFault) and by isActive when set.
    std::function<void(double fraction)> plantedOpenStep;
    std::function<int(std::string_view operation)> plantedSaveFault;
    std::function<bool()> plantedApplicationActive;
    std::unique_ptr<EditorWindowController> controller;
    QStringList openAnswer;
    std::optional<QString> saveAnswer;
    QStringList proposedNames;
    EditorObservation observation;
    std::vector<std::pair<EditorEvent::Kind, EditorDocument*>> events;
};

} // namespace vendrix::app::test
