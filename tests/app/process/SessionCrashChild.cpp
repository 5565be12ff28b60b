#include "SessionCrashChild.h"

#include "app/document/EditorDocument.h"
#include "app/session/SessionController.h"
#include "app/session/SessionRestore.h"
#include "app/workspace/Workspace.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

namespace vendrix::app::crashTest {

namespace {

std::u16string ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

} // namespace

std::u16string makeText(int tab, std::int64_t generation, std::size_t units) {
    const std::u16string mark = ascii("tab=" + std::to_string(tab) + " gen=" + std::to_string(generation));
    std::u16string text = mark + ascii(" len=" + std::to_string(units) + "\n");
    static const std::u16string pattern = u"şğüöçı İ 😀 abc\n";
    while (text.size() < units + mark.size())
        text += pattern;
    text.resize(units + mark.size());
    text += u"\nEND " + mark + u"\n";
    return text;
}

std::optional<std::int64_t> check(int tab, std::u16string_view text) {
    const std::u16string prefix = ascii("tab=" + std::to_string(tab) + " gen=");
    if (!text.starts_with(prefix))
        return std::nullopt;
    std::int64_t generation = 0;
    std::size_t i = prefix.size();
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        generation = generation * 10 + (text[i++] - u'0');
    std::size_t units = 0;
    const std::u16string lenKey = u" len=";
    if (text.substr(i, lenKey.size()) != lenKey)
        return std::nullopt;
    i += lenKey.size();
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        units = units * 10 + (text[i++] - u'0');
    if (text != makeText(tab, generation, units))
        return std::nullopt;
    return generation;
}

int runWriter(const QString& directory, int tabs, std::size_t units) {
    auto store = std::make_unique<SessionStore>(directory.toStdString());
    if (!store->prepareDirectory() || !store->acquireLock()) {
        std::puts("no lock");
        return 4;
    }
    SessionLoadResult loaded = store->load();
    SessionController session(std::move(store));
    RestoredSession restored = restoreSession(loaded);
    std::vector<std::unique_ptr<EditorDocument>> documents;
    std::vector<std::int64_t> generations;
    if (loaded.state.tabs.empty()) {
        for (int tab = 0; tab < tabs; ++tab) {
            auto document = std::make_unique<EditorDocument>(QUuid::createUuid());
            document->setUntitledNumber(tab + 1);
            document->setText(makeText(tab, 0, units));
            document->setDirty(true);
            documents.push_back(std::move(document));
            generations.push_back(0);
        }
    } else {
        if (restored.documents.size() != static_cast<std::size_t>(tabs)) {
            std::printf("tabs %zu\n", restored.documents.size());
            return 3;
        }
        for (int tab = 0; tab < tabs; ++tab) {
            auto& document = restored.documents[static_cast<std::size_t>(tab)];
            auto text = session.readBuffer(document->pending().bufferName);
            std::optional<std::int64_t> generation;
            if (text)
                generation = check(tab, *text);
            if (!generation) {
                std::printf("damaged %d\n", tab);
                return 3;
            }
            document->setText(std::move(*text));
            generations.push_back(*generation);
            documents.push_back(std::move(document));
        }
    }
    Workspace workspace;
    for (auto& document : documents)
        workspace.insert(std::move(document), workspace.count());
    workspace.setActiveIndex(0);
    session.observe(&workspace);
    // A fresh session is written once before the kills begin: text that never reached the
    // disk cannot come back.
    if (loaded.state.tabs.empty())
        if (auto failure = session.flush(true)) {
            std::printf("write failed: %s\n", failure->toUtf8().constData());
            return 5;
        }
    std::puts("ready");
    std::fflush(stdout);
    for (;;) {
        for (int tab = 0; tab < tabs; ++tab) {
            auto& document = *workspace.at(static_cast<std::size_t>(tab));
            const auto generation = ++generations[static_cast<std::size_t>(tab)];
            // Without undo: the history would keep every generation of a large text.
            document.applyWithoutUndo({TextRange{0, document.length()}},
                                      {makeText(tab, generation, units)});
        }
        if (auto failure = session.flush(true)) {
            std::printf("write failed: %s\n", failure->toUtf8().constData());
            return 5;
        }
        QCoreApplication::processEvents();
    }
}

} // namespace vendrix::app::crashTest
