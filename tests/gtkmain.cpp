// main() for GoogleTest executables with GTK windows: GTK is started on the display the test
// runs on (a private Xvfb, see tests/xvfb_run.py).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "GTK cannot open a display\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
