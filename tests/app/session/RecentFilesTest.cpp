#include "app/session/RecentFiles.h"
#include "app/session/RecentMenuDelegate.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vendrix::app {
namespace {

struct RecentFilesFixture : ::testing::Test {
    QTemporaryDir folder;
    QString path = folder.filePath("config/Vendrix/recent.json");
    RecentFiles recent{RecentFiles::defaultKey, path};

    void store(const QByteArray& data) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    QStringList paths() const {
        QStringList result;
        for (const RecentFiles::Entry& entry : recent.load())
            result << entry.path;
        return result;
    }
};

TEST_F(RecentFilesFixture, AddMovesToTheFrontAndKeepsFifteen) {
    EXPECT_TRUE(recent.load().empty()) << "no file yet";
    ASSERT_TRUE(recent.add("/a/x.txt"));
    recent.add("/b/y.txt");
    recent.add("/a/x.txt");
    EXPECT_EQ(paths(), (QStringList{"/a/x.txt", "/b/y.txt"}));

    for (int i = 0; i < 20; ++i)
        recent.add(QStringLiteral("/f/%1.txt").arg(i));
    const QStringList kept = paths();
    ASSERT_EQ(kept.size(), 15);
    EXPECT_EQ(kept.front(), "/f/19.txt");
    EXPECT_EQ(kept.back(), "/f/5.txt");

    EXPECT_TRUE(recent.clear());
    EXPECT_TRUE(recent.load().empty());
}

TEST_F(RecentFilesFixture, StoredFormAndPermissions) {
    recent.save({{"/d/ğ ü.txt", std::nullopt}, {"/d/b", QByteArray("\x01\x02", 2)}});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              QByteArray(R"([{"path":"/d/ğ ü.txt"},{"bookmark":"AQI=","path":"/d/b"}])"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::vector<RecentFiles::Entry> expected{{"/d/ğ ü.txt", std::nullopt},
                                                   {"/d/b", QByteArray("\x01\x02", 2)}};
    EXPECT_EQ(recent.load(), expected);
}

TEST_F(RecentFilesFixture, MalformedDataReadsAsEmpty) {
    recent.add("/seed");
    struct Case {
        const char* name;
        QByteArray data;
        int expectedCount;
    };
    const Case cases[] = {
        {"not JSON", "[{\"path\":", 0},
        {"an object, not an array", R"({"path":"/a"})", 0},
        {"an element without path", R"([{"path":"/a"},{"name":"/b"}])", 0},
        {"a path that is not a string", R"([{"path":7}])", 0},
        {"a bookmark that is not Base64", R"([{"path":"/a","bookmark":"%%"}])", 0},
        {"a bookmark of the wrong type", R"([{"path":"/a","bookmark":3}])", 0},
        {"invalid UTF-8", "[{\"path\":\"/\xff\"}]", 0},
        {"no bookmark, extra members", R"([{"path":"/a","other":1},{"path":"/b"}])", 2},
        {"a null bookmark", R"([{"path":"/a","bookmark":null}])", 1},
    };
    for (const Case& c : cases) {
        store(c.data);
        EXPECT_EQ(static_cast<int>(recent.load().size()), c.expectedCount) << c.name;
    }
    // Adding to an unreadable list starts a new one.
    store("garbage");
    recent.add("/new");
    EXPECT_EQ(paths(), QStringList{"/new"});
}

TEST_F(RecentFilesFixture, AFailedSaveKeepsThePreviousList) {
    recent.add("/kept");
    // The file's folder is replaced by a plain file: the write cannot happen.
    RecentFiles blocked(RecentFiles::defaultKey, path + "/inside.json");
    EXPECT_FALSE(blocked.add("/lost"));
    EXPECT_TRUE(blocked.load().empty());
    EXPECT_EQ(paths(), QStringList{"/kept"});
}

TEST(RecentFilesTest, DefaultLocationFollowsXdgConfigHome) {
    QTemporaryDir home;
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    EXPECT_EQ(RecentFiles::defaultFilePath(), home.path() + "/Vendrix/recent.json");
    RecentFiles recent;
    EXPECT_EQ(recent.key(), QStringLiteral("recentFiles"));
    EXPECT_TRUE(recent.add("/x"));
    EXPECT_TRUE(QFileInfo::exists(home.path() + "/Vendrix/recent.json"));
    EXPECT_EQ(QFileInfo(home.path() + "/Vendrix").permissions() & QFileDevice::ReadOther,
              QFileDevice::Permissions());
    qputenv("XDG_CONFIG_HOME", previous);
}

/// Titles of a menu's items ("—" for a separator) with enabled state marks ("!" disabled).
QStringList describe(const QMenu& menu) {
    QStringList result;
    for (const QAction* item : menu.actions()) {
        if (item->isSeparator())
            result << "—";
        else
            result << (item->isEnabled() ? "" : "!") + item->text();
    }
    return result;
}

TEST_F(RecentFilesFixture, TheMenuIsRebuiltEachTimeItShows) {
    QMenu menu;
    QStringList opened;
    new RecentMenuDelegate(&menu, recent, [&](const QString& p) { opened << p; });
    EXPECT_EQ(describe(menu), QStringList{"!Listeyi Temizle"});

    recent.add("/one/notes.txt");
    recent.add("/two/notes.txt");
    menu.popup(QPoint(0, 0));
    QApplication::processEvents();
    menu.hide();
    EXPECT_EQ(describe(menu), (QStringList{"notes.txt", "notes.txt", "—", "Listeyi Temizle"}));
    EXPECT_EQ(menu.actions()[0]->toolTip(), "/two/notes.txt");
    EXPECT_EQ(menu.actions()[1]->toolTip(), "/one/notes.txt");

    menu.actions()[1]->trigger();
    EXPECT_EQ(opened, QStringList{"/one/notes.txt"});

    menu.actions()[3]->trigger();
    EXPECT_TRUE(recent.load().empty());

    // Malformed data: only a disabled "Listeyi Temizle".
    store("[1,2]");
    menu.popup(QPoint(0, 0));
    QApplication::processEvents();
    menu.hide();
    EXPECT_EQ(describe(menu), QStringList{"!Listeyi Temizle"});

    EXPECT_EQ(RecentMenuDelegate::titleFor("/a/b/"), "b");
    EXPECT_EQ(RecentMenuDelegate::titleFor("/"), "/");

    // "&" is no mnemonic and a name that looks like markup shows as it is, in the title and
    // in the tooltip; the item still opens the path itself.
    recent.add("/dir/<b>R&D.txt");
    menu.popup(QPoint(0, 0));
    QApplication::processEvents();
    menu.hide();
    QAction* named = menu.actions()[0];
    EXPECT_EQ(named->text(), "<b>R&&D.txt");
    QTextDocument tip;
    tip.setHtml(named->toolTip());
    EXPECT_EQ(tip.toPlainText(), "/dir/<b>R&D.txt");
    opened.clear();
    named->trigger();
    EXPECT_EQ(opened, QStringList{"/dir/<b>R&D.txt"});
}

} // namespace
} // namespace vendrix::app
