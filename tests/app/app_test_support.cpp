#include "tests/app/app_test_support.h"

#include <QByteArray>

#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::testkit {

QApplication& testApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "swivio_app_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals are gone by the time static objects are torn
    // down at exit, and an application destroyed then crashes.
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

bool writeTestMovie(const std::string& path, int frames) {
    SwfWriter w;
    w.frameCount = uint16_t(frames);
    w.backgroundColor(0x20, 0x40, 0x80);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 1000, 1000, 0xFF, 0xC0, 0));
    for (int i = 0; i < frames; ++i) {
        Place p = Place().at(1);
        if (i == 0)
            p = p.of(1);
        else
            p.move = true;
        p.hasMatrix = true;
        p.translateX = 200 * i;
        p.translateY = 1000;
        place(w, p);
        w.showFrame();
    }
    w.end();
    return w.writeFile(path);
}

} // namespace swivio::testkit
