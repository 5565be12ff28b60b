#include "../window/WindowTestSupport.h"
#include "app/context/MenuActionTarget.h"
#include "app/context/MenuBuilder.h"
#include "app/features/findinfiles/FileResultsModel.h"
#include "app/features/findinfiles/FindInFilesFeature.h"
#include "app/features/findinfiles/FindInFilesPanel.h"
#include "app/features/findinfiles/ReplaceInTabs.h"
#include "app/features/search/SearchFeature.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QUndoStack>

namespace vendrix::app::test {
namespace {

/// A real window with the search features attached, over a generated folder.
class FindInFilesTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        builder = std::make_unique<MenuBuilder>();
        controller->attachMenus(*builder);
        search = std::make_unique<SearchFeature>();
        search->attach(*controller);
        search->contributeMenus(*builder);
        feature = std::make_unique<FindInFilesFeature>();
        feature->attach(*controller);
        feature->contributeMenus(*builder);
        builder->complete();
        controller->show();
        root = path("tree");
        QDir().mkpath(root + "/src/deep");
        QDir().mkpath(root + "/.hidden");
        write("tree/a.txt", "alpha needle\nnothing\n  needle needle\n");
        write("tree/src/b.cpp", "int needle = 1;\n");
        write("tree/src/deep/c.h", "// Needle in CAPS\n");
        write("tree/src/none.txt", "haystack only\n");
        write("tree/.hidden/h.txt", "needle hidden\n");
    }
    void TearDown() override {
        feature.reset();
        search.reset();
        builder.reset();
        WindowFixture::TearDown();
    }

    static bool waitFor(const std::function<bool()>& done, int ms = 20000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
    FindInFilesPanel& panel() { return *feature->panel(); }
    EditorTextView& view() { return *controller->textView(); }
    FileResultsModel& model() { return feature->model(); }

    /// Opens the panel from its menu item and searches as the user does: types the query
    /// and the folder and presses Return.
    void searchFor(const QString& query, const QString& where) {
        QAction* item = nullptr;
        for (QAction* action : builder->menu(MenuID::search)->actions())
            if (action->text() == QStringLiteral("Dosyalarda Bul…"))
                item = action;
        ASSERT_NE(item, nullptr);
        item->trigger();
        ASSERT_NE(feature->panel(), nullptr);
        panel().folderField->setText(where);
        panel().queryField->clear();
        QTest::keyClicks(panel().queryField, query);
        QTest::keyClick(panel().queryField, Qt::Key_Return);
        ASSERT_TRUE(waitFor([this] { return !feature->isSearching(); }));
    }
    /// The shown text of every row, files with their hits below them.
    QStringList rows() {
        QStringList result;
        for (int file = 0; file < model().rowCount(); ++file) {
            const QModelIndex index = model().index(file, 0);
            result << index.data().toString();
            for (int hit = 0; hit < model().rowCount(index); ++hit)
                result << "  " + model().index(hit, 0, index).data().toString();
        }
        return result;
    }
    QModelIndex hitIndex(int file, int hit) {
        return model().index(hit, 0, model().index(file, 0));
    }
    /// The text an emphasised hit row shows in bold.
    QString emphasised(const QModelIndex& index) {
        return index.data().toString().mid(index.data(FileResultsModel::matchStartRole).toInt(),
                                           index.data(FileResultsModel::matchLengthRole).toInt());
    }

    std::unique_ptr<MenuBuilder> builder;
    std::unique_ptr<SearchFeature> search;
    std::unique_ptr<FindInFilesFeature> feature;
    QString root;
};

TEST_F(FindInFilesTest, MenuItemAndTheSearchListsFilesAndHitsInPathOrder) {
    QAction* item = nullptr;
    const QList<QAction*> actions = builder->menu(MenuID::search)->actions();
    for (qsizetype i = 0; i < actions.size(); ++i)
        if (actions[i]->text() == QStringLiteral("Dosyalarda Bul…")) {
            item = actions[i];
            EXPECT_EQ(actions[i - 1]->text(), QStringLiteral("Tüm Sekmelerde Değiştir"));
        }
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+Shift+H")});

    searchFor("needle", root);
    const QStringList expected{
        "a.txt (3)",     "  1: alpha needle",    "  3: needle needle", "  3: needle needle",
        "src/b.cpp (1)", "  1: int needle = 1;", "src/deep/c.h (1)",   "  1: // Needle in CAPS"};
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(panel().statusLabel->text(), QStringLiteral("3 dosyada 5 eşleşme"));
    // The emphasis covers each match, the second "needle" of a line included.
    EXPECT_EQ(emphasised(hitIndex(0, 0)), "needle");
    EXPECT_EQ(hitIndex(0, 2).data(FileResultsModel::matchStartRole).toInt(),
              QString("3: needle ").size());
    EXPECT_EQ(emphasised(hitIndex(2, 0)), "Needle");

    // The options and globs narrow the search.
    panel().caseBox->setChecked(true);
    panel().includeField->setText("*.h, *.txt");
    panel().excludeField->setText("deep/");
    QTest::keyClick(panel().queryField, Qt::Key_Return);
    ASSERT_TRUE(waitFor([this] { return !feature->isSearching(); }));
    EXPECT_EQ(rows().first(), "a.txt (3)");
    EXPECT_EQ(model().rowCount(), 1);

    // Bad input says why and searches nothing.
    panel().regexBox->setChecked(true);
    panel().queryField->setText("(");
    QTest::keyClick(panel().queryField, Qt::Key_Return);
    EXPECT_EQ(panel().statusLabel->text(), QStringLiteral("Geçersiz düzenli ifade: ("));
    panel().queryField->setText("x");
    panel().folderField->setText(root + "/missing");
    QTest::keyClick(panel().folderField, Qt::Key_Return);
    EXPECT_EQ(panel().statusLabel->text(), "Klasör bulunamadı: " + root + "/missing");
    EXPECT_EQ(feature->lastFolder, root);
}

TEST_F(FindInFilesTest, ResultsGrowWhileTheSearchRunsAndVazgecStopsIt) {
    // Enough files for the first results to be shown long before the last is searched.
    const QString big = path("big");
    for (int sub = 0; sub < 30; ++sub) {
        QDir().mkpath(big + QString("/d%1").arg(sub, 2, 10, QChar('0')));
        for (int file = 0; file < 100; ++file)
            write(
                QString("big/d%1/f%2.txt").arg(sub, 2, 10, QChar('0')).arg(file, 3, 10, QChar('0')),
                QByteArray("filler line\n").repeated(300) + "the target word\n");
    }
    int batches = 0;
    bool searchingAtFirstBatch = false;
    QObject::connect(&model(), &QAbstractItemModel::rowsInserted, [&](const QModelIndex& parent) {
        if (parent.isValid())
            return;
        if (batches++ == 0) {
            searchingAtFirstBatch = feature->isSearching();
            // "Vazgeç" as soon as something is listed.
            QTest::mouseClick(feature->panel()->cancelButton, Qt::LeftButton);
        }
    });
    feature->showPanel();
    panel().folderField->setText(big);
    panel().regexBox->setChecked(true); // the expression engine over decoded text: slower
    QTest::keyClicks(panel().queryField, "tar[g]et");
    EXPECT_FALSE(panel().cancelButton->isEnabled());
    QTest::keyClick(panel().queryField, Qt::Key_Return);
    EXPECT_TRUE(panel().cancelButton->isEnabled());
    EXPECT_FALSE(panel().searchButton->isEnabled());
    ASSERT_TRUE(waitFor([this] { return !feature->isSearching(); }));
    EXPECT_TRUE(searchingAtFirstBatch);
    EXPECT_GT(model().rowCount(), 0);
    EXPECT_LT(model().rowCount(), 3000);
    EXPECT_TRUE(panel().statusLabel->text().startsWith("Vazgeçildi."))
        << panel().statusLabel->text().toStdString();
    EXPECT_TRUE(panel().searchButton->isEnabled());

    // Without "Vazgeç" every file comes, and the running count led to the final one.
    QObject::disconnect(&model(), &QAbstractItemModel::rowsInserted, nullptr, nullptr);
    QStringList statuses;
    QObject::connect(&model(), &QAbstractItemModel::rowsInserted,
                     [&] { statuses << panel().statusLabel->text(); });
    QTest::keyClick(panel().queryField, Qt::Key_Return);
    ASSERT_TRUE(waitFor([this] { return !feature->isSearching(); }));
    EXPECT_EQ(model().rowCount(), 3000);
    EXPECT_EQ(model().hitCount(), 3000);
    EXPECT_EQ(panel().statusLabel->text(), "3000 dosyada 3000 eşleşme");
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_TRUE(statuses.first().startsWith("Aranıyor…"));
}

TEST_F(FindInFilesTest, ReturnOnAHitOpensTheFileWithTheMatchSelected) {
    searchFor("needle", root);
    struct Case {
        const char* name;
        int file;
        int hit;
        std::int64_t location;
    };
    // The third "needle" of a.txt: line 3 after two spaces and one "needle ".
    for (const Case& c : {Case{"first hit", 0, 0, 6}, Case{"same line twice", 0, 2, 30},
                          Case{"other file", 1, 0, 4}}) {
        panel().results->setFocus();
        panel().results->setCurrentIndex(hitIndex(c.file, c.hit));
        QTest::keyClick(panel().results, Qt::Key_Return);
        const QString file = model().files()[static_cast<std::size_t>(c.file)].path;
        ASSERT_TRUE(waitFor([&] {
            return controller->activeDocument() && controller->activeDocument()->fileURL() &&
                   *controller->activeDocument()->fileURL() == file;
        })) << c.name;
        EXPECT_EQ(view().selectedRange(), (TextRange{c.location, 6})) << c.name;
        EXPECT_TRUE(view().hasFocus()) << c.name;
    }
    EXPECT_EQ(count(), 2u); // a.txt was opened once; the untouched empty tab gave way
}

TEST_F(FindInFilesTest, AHitOfALargeFileOpensInTheBackground) {
    controller->backgroundOpenBytes = 1; // every file is read on a worker
    controller->openProgressDelayMilliseconds = 0;
    searchFor("needle", root);
    panel().results->setCurrentIndex(hitIndex(1, 0));
    QTest::keyClick(panel().results, Qt::Key_Return);
    EXPECT_TRUE(controller->isOpening());
    ASSERT_TRUE(waitFor([this] { return view().selectedRange() == TextRange{4, 6}; }));
    EXPECT_EQ(*active().fileURL(), root + "/src/b.cpp");
}

TEST_F(FindInFilesTest, ReplaceFillsTabsOneUndoStepEachAndWritesNothing) {
    searchFor("needle", root);
    const QByteArray before = read(root + "/a.txt");
    // The second hit of a.txt is left out; c.h's file row unchecked leaves it alone.
    model().setData(hitIndex(0, 1), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(model().index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(),
              Qt::PartiallyChecked);
    model().setData(model().index(2, 0), Qt::Unchecked, Qt::CheckStateRole);
    QTest::keyClicks(panel().replaceField, "pin");
    QTest::mouseClick(panel().replaceButton, Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return !feature->isReplacing(); }));

    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, "2 dosyada 3 değişiklik");
    EXPECT_EQ(prompter.requests[0].detail.split('\n').mid(0, 2),
              (QStringList{"a.txt: 2 değişiklik", "src/b.cpp: 1 değişiklik"}));
    EXPECT_EQ(panel().statusLabel->text(), "2 dosyada 3 değişiklik (kaydedilmedi)");

    EditorDocument* a = controller->documentForFile(root + "/a.txt");
    EditorDocument* b = controller->documentForFile(root + "/src/b.cpp");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(controller->documentForFile(root + "/src/deep/c.h"), nullptr);
    EXPECT_EQ(text(*a), u"alpha pin\nnothing\n  needle pin\n");
    EXPECT_EQ(text(*b), u"int pin = 1;\n");
    EXPECT_TRUE(a->isDirty());
    // Nothing reached the disk.
    EXPECT_EQ(read(root + "/a.txt"), before);
    EXPECT_EQ(read(root + "/src/b.cpp"), "int needle = 1;\n");
    // One undo step per tab brings the file's text back.
    for (EditorDocument* document : {a, b}) {
        EXPECT_EQ(document->undoStack()->count(), 1);
        document->undoStack()->undo();
    }
    EXPECT_EQ(text(*a), u"alpha needle\nnothing\n  needle needle\n");
    EXPECT_EQ(text(*b), u"int needle = 1;\n");
}

TEST_F(FindInFilesTest, ReplaceLeavesChangedAndEditedFilesAlone) {
    searchFor("needle", root);
    // b.cpp changes on disk after the search; a.txt is open with unsaved changes.
    write("tree/src/b.cpp", "int needle = 2; // longer\n");
    ASSERT_TRUE(model().refreshChanged());
    EXPECT_EQ(model().index(1, 0).data().toString(),
              "src/b.cpp (1) — aramadan sonra diskte değişti");
    controller->openFiles({root + "/a.txt"});
    EditorDocument& a = active();
    ASSERT_TRUE(controller->applyEdits(a, {{0, 0}}, {u"x"}, "Yaz"));
    QTest::keyClicks(panel().replaceField, "pin");
    feature->replaceChecked();
    ASSERT_TRUE(waitFor([this] { return !feature->isReplacing(); }));
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].message, "1 dosyada 1 değişiklik");
    const QStringList detail = prompter.requests[0].detail.split('\n');
    EXPECT_EQ(detail.mid(0, 3),
              (QStringList{"a.txt: sekmede kaydedilmemiş değişiklikler var, dokunulmadı",
                           "src/b.cpp: aramadan sonra diskte değişti, dokunulmadı",
                           "src/deep/c.h: 1 değişiklik"}));
    EXPECT_EQ(text(a), u"xalpha needle\nnothing\n  needle needle\n");
    EXPECT_EQ(controller->documentForFile(root + "/src/b.cpp"), nullptr);
}

TEST_F(FindInFilesTest, PlanKeepsOnlyMatchesWhereChosenHitsStand) {
    struct Case {
        const char* name;
        SearchOptions options;
        std::u16string text;
        std::u16string replacement;
        std::vector<FileHit> hits;
        std::vector<TextRange> ranges;
        std::vector<std::u16string> replacements;
        std::int64_t missing;
    };
    const std::vector<Case> cases{
        {"chosen of three",
         {u"ab", false, false, false},
         u"ab ab\nab",
         u"X",
         {{0, 3, 2, {}, 0}, {1, 0, 2, {}, 0}},
         {{3, 2}, {6, 2}},
         {u"X", u"X"},
         0},
        {"a hit whose text changed",
         {u"ab", false, false, false},
         u"ac ab",
         u"X",
         {{0, 0, 2, {}, 0}, {0, 3, 2, {}, 0}},
         {{3, 2}},
         {u"X"},
         1},
        {"a longer match at the place",
         {u"a+", true, false, false},
         u"aaa",
         u"X",
         {{0, 0, 2, {}, 0}},
         {},
         {},
         1},
        {"groups expand per match",
         {u"(\\w)=(\\w)", true, false, false},
         u"a=b c=d",
         u"$2=$1",
         {{0, 4, 3, {}, 0}},
         {{4, 3}},
         {u"d=c"},
         0},
    };
    for (const Case& c : cases) {
        auto pattern = SearchPattern::compile(c.options);
        ASSERT_TRUE(pattern) << c.name;
        std::int64_t missing = -1;
        const LineIndex lines(c.text);
        auto plan =
            ReplaceInTabs::planForHits(*pattern, c.text, lines, c.replacement, c.hits, missing);
        ASSERT_TRUE(plan) << c.name;
        EXPECT_EQ(plan->ranges, c.ranges) << c.name;
        EXPECT_EQ(plan->replacements, c.replacements) << c.name;
        EXPECT_EQ(missing, c.missing) << c.name;
    }
}

TEST_F(FindInFilesTest, EveryControlIsNamedReachedWithTabAndEscapeCloses) {
    searchFor("needle", root);
    for (QWidget* widget : panel().findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QAbstractButton*>(widget) ||
                             qobject_cast<QTreeView*>(widget);
        if (control && widget->focusPolicy() != Qt::NoFocus) {
            EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->metaObject()->className();
        }
    }
    // Tab from the query visits the controls in reading order and reaches the results.
    panel().queryField->setFocus();
    QList<QWidget*> visited;
    for (int i = 0; i < 16; ++i) {
        visited << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_TRUE(visited.contains(panel().replaceField));
    EXPECT_TRUE(visited.contains(panel().folderButton));
    EXPECT_TRUE(visited.contains(panel().results));
    EXPECT_LT(visited.indexOf(panel().replaceField), visited.indexOf(panel().folderField));
    panel().results->setFocus();
    QTest::keyClick(panel().results, Qt::Key_Escape);
    EXPECT_FALSE(panel().isVisible());
    EXPECT_TRUE(view().hasFocus());
}

} // namespace
} // namespace vendrix::app::test
