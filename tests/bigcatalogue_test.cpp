// A full catalogue with long descriptions: 201 entries whose descriptions come to about 1 MB, one
// of them 64 KB long. It loads like any other, and highlighting each entry in turn, from the
// first to the last, shows its size and description in full.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <optional>

#include "bench/catalogue_maker.h"
#include "core/menu.h"
#include "platform/fake/fakeplatform.h"
#include "tests/fakewindow.h"

namespace {

using core::Control;

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
    fake.cwd = fake.appPath = medium.path().toStdString();
    testwindow::FakeWindow window;
    core::Menu menu(window, fake);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const std::optional<catalogue::Error> error = menu.load();
    ASSERT_FALSE(error.has_value()) << error->message();
    const auto loaded = Clock::now() - start;

    ASSERT_EQ(window.items.size(), 201u);
    EXPECT_EQ(window.text(Control::CountLine), "201 Great Programs ready for installation!");

    for (int n = 1; n <= 201; ++n) {
        if (n > 1) {
            window.selectListItem(n - 1);
            menu.highlightChanged();
        }
        SCOPED_TRACE("entry " + std::to_string(n));
        ASSERT_EQ(window.items[std::size_t(n - 1)], bench::entryName(n));
        ASSERT_EQ(window.shown(Control::SizeBox), std::to_string(bench::entrySize(n)));
        ASSERT_EQ(menu.selection().folder, "folder" + std::to_string(n));
        const std::size_t length = n == bench::BigEntry ? bench::BigDescription : 5000;
        ASSERT_EQ(window.text(Control::DescriptionBox), bench::entryDescription(n, length));
    }

    // A figure for the record only: how long loading took here.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(loaded).count();
    RecordProperty("load_ms", int(ms));
    std::printf("loading %zu bytes: %lld ms\n", bytes.size(), static_cast<long long>(ms));
}

}  // namespace
