// A full catalogue with long descriptions: 201 entries whose descriptions come to about 1 MB, one
// of them 64 KB long. It loads through Form_Load like any other, and moving through the whole list
// with the Down key shows each entry's size and description in full.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "bench/catalogue_maker.h"
#include "menu/themenu.h"
#include "platform/fakeplatform.h"

namespace {

TEST(BigCatalogueTest, LoadsAndEveryEntryShowsWhileMovingDown) {
    QTemporaryDir medium;
    ASSERT_TRUE(medium.isValid());
    const std::string bytes = bench::makeLargeCatalogue();
    ASSERT_GT(bytes.size(), std::size_t(1'000'000));
    {
        QFile file(medium.filePath(QStringLiteral("contents.inf")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
    }

    platform::FakePlatform fake;
    fake.cwd = medium.path();
    fake.appPath = medium.path();
    menu::TheMenu menu(fake);

    QElapsedTimer clock;
    clock.start();
    const std::optional<catalogue::Error> error = menu.Form_Load();
    ASSERT_FALSE(error.has_value()) << error->message();
    const qint64 loadMs = clock.elapsed();

    ASSERT_EQ(menu.List1->count(), 201);
    EXPECT_EQ(menu.Label6->text(), QStringLiteral("201 Great Programs ready for installation!"));

    menu.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    menu.List1->setFocus();

    // Entry n is shown after n - 1 presses of Down; a press on the last entry keeps it.
    qint64 moveNs = 0, slowestNs = 0;
    for (int press = 0; press <= 201; ++press) {
        if (press > 0) {
            clock.restart();
            QTest::keyClick(menu.List1, Qt::Key_Down);
            const qint64 ns = clock.nsecsElapsed();
            moveNs += ns;
            slowestNs = std::max(slowestNs, ns);
        }
        const int n = std::min(press + 1, 201);
        SCOPED_TRACE("entry " + std::to_string(n));
        const std::size_t length = n == bench::BigEntry ? bench::BigDescription : 5000;
        ASSERT_EQ(menu.List1->currentRow(), n - 1);
        ASSERT_EQ(menu.List1->currentItem()->text().toStdString(), bench::entryName(n));
        ASSERT_EQ(menu.Text1->text(), QString::number(bench::entrySize(n)));
        ASSERT_TRUE(menu.Text1->isVisible());
        ASSERT_EQ(menu.SelectedFolder, QStringLiteral("folder%1").arg(n));
        const QString description = menu.Text2->toPlainText();
        ASSERT_EQ(description.size(), qsizetype(length));
        ASSERT_EQ(description.toStdString(), bench::entryDescription(n, length));
    }

    // Figures for the record only: how long loading and the 201 key presses took here.
    RecordProperty("load_ms", int(loadMs));
    RecordProperty("move_us_total", int(moveNs / 1000));
    RecordProperty("move_us_slowest", int(slowestNs / 1000));
    std::printf("loading %zu bytes: %lld ms; 201 presses of Down: %.1f ms in all, the slowest %.2f ms\n",
                bytes.size(), static_cast<long long>(loadMs), double(moveNs) / 1e6, double(slowestNs) / 1e6);
}

}  // namespace
