#include "app/settings/ViewOptionsController.h"
#include "app/features/formatting/FormattingFeature.h"
#include "app/window/OpenFormattingQueue.h"
#include "core/formatting/JSONFormatter.h"
#include "core/persistence/SettingsBacking.h"
#include "core/text/TextFileCodec.h"
#include "tests/app/window/WindowTestSupport.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>

namespace vendrix::app::test {
namespace {

class OpenFormattingQueueTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        // The same window, now over a settings backing.
        controller = std::make_unique<EditorWindowController>(
            EditorWindowController::Options{&prompter, &settings});
        controller->ensureDocument();
    }
    OpenFormattingQueue& queue() { return controller->openFormatting(); }
    void setPolicy(const char* raw) {
        settings.set(SettingsValue(raw), "editor.prettyOnOpen");
        queue().policy = *prettyOnOpen::fromRawValue(raw);
    }
    void waitIdle() {
        QElapsedTimer timer;
        timer.start();
        while (queue().isRunning() && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_FALSE(queue().isRunning());
    }
    /// A one-line JSON array with a line of at least `units` characters.
    static QByteArray json(int units) {
        QByteArray text = "[";
        while (text.size() < units - 10)
            text += "12345678,";
        text += "1]";
        while (text.size() < units)
            text.insert(1, ' ');
        return text;
    }
    QString policyStored() const {
        const auto value = settings.object("editor.prettyOnOpen");
        return value && value->string() ? QString::fromStdString(*value->string()) : QString();
    }

    MemorySettingsBacking settings;
};

TEST_F(OpenFormattingQueueTest, AskingAndNeverAgainOpensUnchangedFromThenOn) {
    setPolicy("ask");
    const QString first = write("a.json", json(100000));
    prompter.answers.push_back({1, true});
    controller->openFiles({first});
    ASSERT_EQ(prompter.requests.size(), 1u);
    const PromptRequest& request = prompter.requests[0];
    EXPECT_EQ(request.message,
              "“a.json” tek satırlık büyük bir JSON dosyası. Güzelleştirerek açılsın mı?");
    EXPECT_EQ(request.buttons, (QStringList{"Güzelleştirerek Aç", "Olduğu Gibi Aç"}));
    EXPECT_EQ(request.checkBox, "Bir daha sorma");
    EXPECT_FALSE(queue().isRunning());
    EXPECT_EQ(text(active()).size(), 100000u);
    EXPECT_FALSE(active().isDirty());
    EXPECT_EQ(queue().policy, PrettyOnOpen::never);
    EXPECT_EQ(policyStored(), "never");
    // The answer went through the settings' one owner: a later change of another setting
    // does not write a stale "ask" back.
    ViewOptionsController* options = controller->viewOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->settings().prettyOnOpen, PrettyOnOpen::never);
    EditorSettings larger = options->settings();
    larger.fontSize += 1;
    options->changeSettings(larger);
    EXPECT_EQ(policyStored(), "never");

    controller->openFiles({write("b.json", json(200000))});
    EXPECT_EQ(prompter.requests.size(), 1u);
    EXPECT_FALSE(active().isDirty());
}

TEST_F(OpenFormattingQueueTest, OnlyALineOfAHundredThousandUnitsIsFormatted) {
    setPolicy("always");
    controller->openFiles({write("short.json", json(99999))});
    EXPECT_FALSE(queue().isRunning());
    EXPECT_EQ(text(active()).size(), 99999u);

    controller->openFiles({write("long.data", json(100000))});
    EXPECT_TRUE(queue().isRunning());
    waitIdle();
    EditorDocument& doc = active();
    EXPECT_EQ(*doc.fileURL(), path("long.data"));
    EXPECT_EQ(text(doc).substr(0, 4), u"[\n  ");
    EXPECT_TRUE(doc.isDirty());
    EXPECT_EQ(doc.languageID(), "json");
    EXPECT_EQ(statusMessage(), "Güzelleştirilerek açıldı — kaydedersen dosya değişir");
    EXPECT_EQ(queue().lastOutcome().value("result"), "pretty");
    EXPECT_EQ(queue().lastOutcome().value("path"), path("long.data"));
    EXPECT_EQ(read(path("long.data")), json(100000)) << "the file stays as it was";
}

TEST_F(OpenFormattingQueueTest, CandidatesRunOneAtATimeAndAQueuedFileIsNotOpenedTwice) {
    setPolicy("always");
    const QString a = write("a.json", json(3000000));
    const QString b = write("b.json", json(150000));
    controller->openFiles({a, b});
    EXPECT_TRUE(queue().isRunning());
    EXPECT_EQ(queue().queuedCount(), 1u);
    EXPECT_TRUE(queue().isQueued(a) && queue().isQueued(b));
    QDialog* firstPanel = queue().panel();
    ASSERT_NE(firstPanel, nullptr);
    EXPECT_EQ(firstPanel->windowTitle(), "“a.json” güzelleştiriliyor…");
    EXPECT_EQ(firstPanel->size(), QSize(380, 110));
    controller->openFiles({a});
    EXPECT_EQ(queue().queuedCount(), 1u);
    const std::size_t before = count();
    waitIdle();
    EXPECT_EQ(count(), before + 1) << "the untouched empty tab gives way to the first";
    EXPECT_TRUE(controller->documentForFile(a)->isDirty());
    EXPECT_TRUE(controller->documentForFile(b)->isDirty());
    EXPECT_EQ(queue().panel(), nullptr);
}

TEST_F(OpenFormattingQueueTest, EscapeCancelsAndInvalidFilesOpenAsTheyAre) {
    setPolicy("always");
    const QByteArray big = json(20000000);
    controller->openFiles({write("big.json", big)});
    ASSERT_NE(queue().panel(), nullptr);
    QTest::keyClick(queue().panel(), Qt::Key_Escape);
    waitIdle();
    EXPECT_EQ(text(active()).size(), static_cast<std::size_t>(big.size()));
    EXPECT_FALSE(active().isDirty());
    EXPECT_EQ(statusMessage(), "Güzelleştirme iptal edildi; dosya olduğu gibi açıldı");
    EXPECT_EQ(queue().lastOutcome().value("result"), "cancelled");

    QByteArray broken = json(100000);
    broken[broken.size() - 1] = '}';
    controller->openFiles({write("bad.json", broken)});
    prompter.requests.clear();
    waitIdle();
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, "“bad.json” geçerli JSON değil; olduğu gibi açılıyor.");
    EXPECT_TRUE(prompter.requests[0].detail.startsWith("Satır 1, sütun 100000: "));
    EXPECT_EQ(text(active()).size(), 100000u);
    EXPECT_FALSE(active().isDirty());
    EXPECT_EQ(queue().lastOutcome().value("result"), "invalid");
    EXPECT_EQ(queue().lastOutcome().value("column").toLongLong(), 100000);
}

TEST_F(OpenFormattingQueueTest, ACancelAfterTheWorkerIsDoneStillOpensTheFileAsItIs) {
    // The worker hands the file's text back with the formatted one; a cancel that comes
    // before the result is taken must find it there.
    setPolicy("always");
    const QByteArray bytes = json(150000);
    controller->openFiles({write("late.json", bytes)});
    ASSERT_NE(queue().panel(), nullptr);
    QTest::qSleep(1000); // the worker finishes; its result waits for the event loop
    QTest::keyClick(queue().panel(), Qt::Key_Escape);
    waitIdle();
    EXPECT_EQ(queue().lastOutcome().value("result"), "cancelled");
    EXPECT_EQ(text(active()), QString::fromLatin1(bytes).toStdU16String());
    EXPECT_FALSE(active().isDirty());
}

TEST_F(OpenFormattingQueueTest, TheFeaturesIndentChoiceReachesPrettyOnOpen) {
    setPolicy("always");
    settings.set(SettingsValue("4"), "formatting.indent");
    FormattingFeature feature; // as the application's feature list makes it
    feature.attach(*controller);
    EXPECT_EQ(feature.indentChoice(), IndentChoice::four);
    feature.setIndentChoice(IndentChoice::tab);
    controller->openFiles({write("t.json", json(100000))});
    waitIdle();
    EXPECT_EQ(text(active()).substr(0, 3), u"[\n\t");
}

TEST_F(OpenFormattingQueueTest, EveryEncodingOpensAsFormattingItsDecodedTextWould) {
    // Whatever the file's encoding, the tab gets exactly what formatting its decoded text
    // gives, or the same error position.
    setPolicy("always");
    QByteArray line = "[";
    while (line.size() < 300000)
        line += "\"çalış \xF0\x9F\x98\x80 \\u00e7\",";
    QByteArray broken = line + "1}";
    line += "1]";
    QByteArray singleByte = "[";
    while (singleByte.size() < 200000)
        singleByte += "\"\xE7" "al\xFD\xFE\",";
    singleByte += "0]";
    const QByteArray cases[] = {line, "\xEF\xBB\xBF" + line + "\n",
                                "/* a\r\nb */\r\n" + line + "\r\n", singleByte, broken,
                                "\xEF\xBB\xBF" + broken};
    int index = 0;
    for (const QByteArray& bytes : cases) {
        const QString file = write(QStringLiteral("e%1.json").arg(index++), bytes);
        controller->openFiles({file});
        waitIdle();
        const auto expected = JSONFormatter::pretty(TextFileCodec::decode(bytes.toStdString()).text,
                                                    FormatIndent::spaces(2), false);
        EditorDocument* document = controller->documentForFile(file);
        ASSERT_NE(document, nullptr) << index;
        if (expected) {
            EXPECT_EQ(text(*document), *expected) << index;
            // The index came with the text from the worker.
            EXPECT_TRUE(document->lineIndex().matches(StringTextSource(*expected))) << index;
            EXPECT_GT(document->lineIndex().lineCount(), 1000) << index;
            EXPECT_EQ(queue().lastOutcome().value("result"), "pretty") << index;
        } else {
            EXPECT_EQ(queue().lastOutcome().value("column").toLongLong(), expected.error().column);
            EXPECT_EQ(queue().lastOutcome().value("message").toString().toStdU16String(),
                      expected.error().message);
        }
    }
}

} // namespace
} // namespace vendrix::app::test
