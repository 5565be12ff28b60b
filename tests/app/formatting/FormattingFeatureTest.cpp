#include "app/context/MenuActionTarget.h"
#include "app/context/MenuBuilder.h"
#include "app/jobs/ProgressPanel.h"
#include "app/features/formatting/FormattingFeature.h"
#include "core/persistence/SettingsBacking.h"
#include "tests/app/window/WindowTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QUndoStack>

namespace vendrix::app::test {
namespace {

class FormattingFeatureTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        feature = std::make_unique<FormattingFeature>(&settings);
        feature->attach(*controller);
    }
    void TearDown() override {
        feature.reset();
        WindowFixture::TearDown();
    }
    EditorDocument& document(std::u16string text) {
        EditorDocument& created = controller->newDocument(std::move(text));
        created.setLanguageID(std::nullopt);
        return created;
    }
    void waitIdle() {
        QElapsedTimer timer;
        timer.start();
        while (feature->isBusy() && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_FALSE(feature->isBusy());
    }
    static QString undoName(const EditorDocument& doc) { return doc.undoStack()->undoText(); }
    /// A JSON array of `count` small objects on one line.
    static std::u16string bigJSON(int count) {
        std::u16string text = u"[";
        for (int i = 0; i < count; ++i)
            text += (i ? u"," : u"") + std::u16string(u"{\"key\":12345,\"name\":\"abcdef\"}");
        return text + u"]";
    }

    MemorySettingsBacking settings;
    std::unique_ptr<FormattingFeature> feature;
};

TEST_F(FormattingFeatureTest, MenuHoldsEveryCommandWithItsShortcutsAndSubmenus) {
    MenuBuilder builder;
    feature->contributeMenus(builder);
    builder.complete();
    QMenu* menu = builder.menu(MenuID::format);
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(titles, (QStringList{"Belgeyi Biçimlendir", "JSON Güzelleştir", "JSON Küçült",
                                   "JSON Güzelleştir (Anahtarlar Sıralı)", "JSON Doğrula", "-",
                                   "XML Güzelleştir", "XML Küçült", "HTML Güzelleştir",
                                   "HTML Küçült", "-", "SQL Güzelleştir", "CSS Güzelleştir",
                                   "CSS Küçült", "-", "Kodla / Çöz", "Girinti"}));
    auto shortcut = [&](const QString& title) {
        for (QAction* action : menu->actions())
            if (action->text() == title)
                return action->shortcut().toString();
        return QStringLiteral("?");
    };
    EXPECT_EQ(shortcut("Belgeyi Biçimlendir"), "Ctrl+Alt+Shift+F");
    EXPECT_EQ(shortcut("JSON Güzelleştir"), "Ctrl+Alt+J");
    EXPECT_EQ(shortcut("JSON Küçült"), "Ctrl+Alt+Shift+J");
    EXPECT_EQ(shortcut("JSON Doğrula"), "Ctrl+Alt+Shift+V");
    EXPECT_EQ(shortcut("XML Güzelleştir"), "Ctrl+Alt+Shift+X");
    EXPECT_EQ(shortcut("HTML Güzelleştir"), "Ctrl+Alt+Shift+H");
    EXPECT_EQ(shortcut("SQL Güzelleştir"), "Ctrl+Alt+Shift+Q");
    EXPECT_EQ(shortcut("CSS Güzelleştir"), "Ctrl+Alt+Shift+C");
    EXPECT_EQ(shortcut("CSS Küçült"), "");

    QMenu* codecs = menu->actions().at(15)->menu();
    QMenu* indent = menu->actions().at(16)->menu();
    ASSERT_TRUE(codecs && indent);
    EXPECT_EQ(codecs->actions().size(), 11);
    ASSERT_EQ(indent->actions().size(), 3);
    // Choosing "Sekme" stores it at once and moves the check mark.
    indent->actions().at(2)->trigger();
    EXPECT_EQ(*settings.object("formatting.indent")->string(), "tab");
    for (int i = 0; i < 3; ++i) {
        MenuActionTarget::of(indent->actions().at(i))->validate(indent->actions().at(i));
        EXPECT_EQ(indent->actions().at(i)->isChecked(), i == 2);
    }
}

TEST_F(FormattingFeatureTest, EachCommandIsOneUndoStepNamedAfterItAndSetsTheLanguage) {
    struct Case {
        QString title;
        std::u16string input;
        std::u16string output;
        std::optional<std::string> language;
    };
    const std::vector<Case> cases = {
        {"JSON Güzelleştir", u"{\"a\":[1,2]}", u"{\n  \"a\": [\n    1,\n    2\n  ]\n}", "json"},
        {"JSON Küçült", u"{ \"a\" : 1 }", u"{\"a\":1}", "json"},
        {"JSON Güzelleştir (Anahtarlar Sıralı)", u"{\"b\":1,\"a\":2}",
         u"{\n  \"a\": 2,\n  \"b\": 1\n}", "json"},
        {"XML Küçült", u"<a>\n  <b/>\n</a>", u"<a><b/></a>", "xml"},
        {"CSS Küçült", u"a {\n  color: red;\n}", u"a{color:red}", "css"},
        {"Base64 Kodla", u"hi", u"aGk=", std::nullopt},
        {"Base64 Çöz", u"aGk=", u"hi", std::nullopt},
        {"URL Kodla", u"a b", u"a%20b", std::nullopt},
        {"HTML Varlıklarını Kodla", u"<", u"&lt;", std::nullopt},
        {"JSON Dizesi Olarak Kaçışla", u"\"", u"\"\\\"\"", std::nullopt},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.title.toStdString());
        EditorDocument& doc = document(each.input);
        ASSERT_TRUE(feature->run(each.title));
        EXPECT_EQ(text(doc), each.output);
        EXPECT_EQ(undoName(doc), each.title);
        EXPECT_EQ(controller->textView()->selectedRange(), (TextRange{0, 0}));
        EXPECT_EQ(doc.languageID(), each.language);
        EXPECT_EQ(feature->lastStatus(), each.title + ": tamam");
        doc.undo();
        EXPECT_EQ(text(doc), each.input);
    }
    // The markup, SQL and CSS pretty-printers each make a change of their own.
    for (const QString title : {"XML Güzelleştir", "HTML Güzelleştir", "SQL Güzelleştir",
                                "CSS Güzelleştir", "HTML Küçült", "URL Çöz",
                                "HTML Varlıklarını Çöz", "JSON Dizesini Çöz"}) {
        SCOPED_TRACE(title.toStdString());
        const std::u16string input = title.startsWith("SQL")   ? u"select a from b where c=1"
                                     : title.startsWith("CSS") ? u"a{color:red}"
                                     : title == "URL Çöz"      ? u"a%20b"
                                     : title.contains("Varlık") ? u"&lt;"
                                                                          : title == "HTML Küçült"   ? u"<div>\n  <p>x</p>\n</div>"
                                     : title.contains("Dize")   ? u"\\\""
                                                                : u"<a><b>x</b></a>";
        EditorDocument& doc = document(input);
        ASSERT_TRUE(feature->run(title));
        EXPECT_NE(text(doc), input);
        EXPECT_EQ(undoName(doc), title);
    }
}

TEST_F(FormattingFeatureTest, SelectionIsReplacedAndSelectedWithoutChangingTheLanguage) {
    EditorDocument& doc = document(u"x = {\"a\":1};");
    controller->select({4, 7});
    ASSERT_TRUE(feature->run("JSON Güzelleştir"));
    EXPECT_EQ(text(doc), u"x = {\n  \"a\": 1\n};");
    EXPECT_EQ(controller->textView()->selectedRange(), (TextRange{4, 12}));
    EXPECT_EQ(doc.languageID(), std::nullopt);
}

TEST_F(FormattingFeatureTest, FormatDocumentSniffsNoChangeAddsNoStepAndFailuresPointIntoTheDocument) {
    EditorDocument& doc = document(u"  {\"a\":1}");
    doc.setLanguageID("plain");
    ASSERT_TRUE(feature->run("Belgeyi Biçimlendir"));
    EXPECT_EQ(text(doc), u"{\n  \"a\": 1\n}");
    EXPECT_EQ(doc.languageID(), "json");
    EXPECT_EQ(undoName(doc), "Belgeyi Biçimlendir");

    const int steps = doc.undoStack()->count();
    ASSERT_TRUE(feature->run("JSON Güzelleştir"));
    EXPECT_EQ(feature->lastStatus(), "Değişiklik yok");
    EXPECT_EQ(doc.undoStack()->count(), steps);

    document(u"just words");
    ASSERT_TRUE(feature->run("Belgeyi Biçimlendir"));
    EXPECT_EQ(feature->lastStatus(), "Bu belge için biçimlendirici yok (dil seçin)");

    // An invalid selection at offset 100, failing at its offset 5, puts the caret at 105.
    std::u16string text(98, u'x');
    text += u"\n\n[1,2,}";
    EditorDocument& bad = document(text);
    controller->select({100, 7});
    prompter.requests.clear();
    ASSERT_TRUE(feature->run("JSON Güzelleştir"));
    EXPECT_EQ(controller->textView()->selectedRange(), (TextRange{105, 0}));
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, "JSON Güzelleştir başarısız");
    EXPECT_TRUE(prompter.requests[0].detail.startsWith("Satır 3, sütun 6: "));
    EXPECT_TRUE(feature->lastStatus().startsWith("JSON Güzelleştir başarısız — Satır 3, sütun 6"));
    EXPECT_EQ(this->text(bad), text);

    document(u"{\"a\": [1, {\"b\": 2}] // c\n}");
    ASSERT_TRUE(feature->run("JSON Doğrula"));
    EXPECT_EQ(feature->lastStatus(), "Geçerli JSON (derinlik 3, yorum içeriyor)");
}

TEST_F(FormattingFeatureTest, TabIndentIsReadWhenTheCommandRuns) {
    feature->setIndentChoice(IndentChoice::tab);
    EditorDocument& doc = document(u"[1]");
    ASSERT_TRUE(feature->run("JSON Güzelleştir"));
    EXPECT_EQ(text(doc), u"[\n\t1\n]");
    EXPECT_EQ(FormattingFeature(&settings).indentChoice(), IndentChoice::tab);
}

TEST_F(FormattingFeatureTest, LargeDocumentRunsOnTheWorkerAndIsOneUndoStep) {
    const std::u16string input = bigJSON(20000);
    ASSERT_GE(input.size(), 524288u);
    EditorDocument& doc = document(input);
    ASSERT_TRUE(feature->run("JSON Güzelleştir"));
    EXPECT_TRUE(feature->isBusy());
    EXPECT_FALSE(feature->isEnabled("JSON Doğrula"));
    ASSERT_NE(feature->panel(), nullptr);
    waitIdle();
    EXPECT_EQ(undoName(doc), "JSON Güzelleştir");
    EXPECT_EQ(text(doc).substr(0, 12), u"[\n  {\n    \"k");
    EXPECT_EQ(feature->lastStatus(), "JSON Güzelleştir: tamam");
    doc.undo();
    EXPECT_EQ(text(doc), input);
}

TEST_F(FormattingFeatureTest, WorkerResultIsRefusedAfterAnEditAndDroppedAfterAClose) {
    EditorDocument& doc = document(bigJSON(60000));
    ASSERT_TRUE(feature->run("JSON Güzelleştir"));
    ASSERT_TRUE(feature->isBusy());
    doc.applyEdit({0, 0}, u" ");
    const std::u16string edited = text(doc);
    waitIdle();
    EXPECT_EQ(text(doc), edited);
    EXPECT_EQ(feature->lastStatus(), "Belge bu arada değişti; biçimlendirme uygulanmadı");

    // A closed document's late result never reaches another document.
    EditorDocument& closing = document(bigJSON(60000));
    ASSERT_TRUE(feature->run("JSON Küçült"));
    controller->closeDocument(closing);
    EditorDocument& next = document(bigJSON(60000));
    waitIdle();
    EXPECT_EQ(text(next), bigJSON(60000));
    EXPECT_EQ(next.undoStack()->count(), 0);
}

TEST_F(FormattingFeatureTest, EscapeOnThePanelCancelsTheWorker) {
    const std::u16string input = bigJSON(200000);
    EditorDocument& doc = document(input);
    ASSERT_TRUE(feature->run("JSON Güzelleştir"));
    ASSERT_NE(feature->panel(), nullptr);
    QTest::keyClick(feature->panel(), Qt::Key_Escape);
    waitIdle();
    EXPECT_EQ(text(doc), input);
    EXPECT_EQ(feature->lastStatus(), "JSON Güzelleştir: iptal edildi");
}

} // namespace
} // namespace vendrix::app::test
