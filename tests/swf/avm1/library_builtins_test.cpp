// The device, connection, menu, filter and BitmapData classes, driven through the
// interpreter's member access and calls as a script would drive them. Expected answers are an
// offline player's: no camera, microphone, network, printer, screen reader or browser.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {
namespace {

class NullHost : public ScriptHost {
public:
    void traceLine(std::string_view) override {}
    void scriptError(std::string_view message) override { errors.emplace_back(message); }
    std::vector<std::string> errors;
};

class LibraryTest : public ::testing::Test {
protected:
    NullHost host;
    Interpreter vm{host, 8};

    Value get(const Value& object, std::string_view path) {
        Value value = object;
        std::size_t start = 0;
        while (start <= path.size()) {
            const std::size_t dot = std::min(path.find('.', start), path.size());
            value = vm.getMember(value, path.substr(start, dot - start));
            start = dot + 1;
        }
        return value;
    }
    Value global(std::string_view path) { return get(vm.global(), path); }
    Value make(std::string_view path, std::vector<Value> args = {}) {
        return vm.construct(global(path), args);
    }
    Value call(const Value& object, std::string_view method, std::vector<Value> args = {}) {
        return vm.callMethod(object, method, args);
    }
    std::string text(const Value& value) { return vm.toString(value); }
};

// ---- Devices and connections ----

TEST_F(LibraryTest, DevicesAndServicesAnswerThatNothingIsThere) {
    struct Case {
        const char* object; // a global path, or "new Path" for a fresh instance
        const char* method;
        std::vector<Value> args;
        const char* expected;
    };
    const Case cases[] = {
        {"Camera", "get", {}, "null"},
        {"Microphone", "get", {}, "null"},
        {"new XMLSocket", "connect", {"localhost", 1024}, "false"},
        {"new PrintJob", "start", {}, "false"},
        {"Accessibility", "isActive", {}, "false"},
        {"flash.external.ExternalInterface", "call", {"f"}, "null"},
        {"flash.external.ExternalInterface", "addCallback", {"f", Value(), Value()}, "false"},
        // The dialog opens (and is cancelled at once): nothing is ever chosen.
        {"new flash.net.FileReference", "browse", {}, "true"},
        {"new flash.net.FileReferenceList", "browse", {}, "true"},
        {"new LocalConnection", "domain", {}, "localhost"},
        {"new TextSnapshot", "getCount", {}, "undefined"}, // made of no clip
    };
    for (const Case& c : cases) {
        const std::string path = c.object;
        Value target = path.starts_with("new ") ? make(path.substr(4)) : global(path);
        EXPECT_EQ(text(call(target, c.method, c.args)), c.expected) << c.object << "." << c.method;
    }
    EXPECT_EQ(text(global("Camera.names.length")), "0");
    EXPECT_EQ(text(global("Microphone.names.length")), "0");
    EXPECT_EQ(text(global("flash.external.ExternalInterface.available")), "false");
}

TEST_F(LibraryTest, NetConnectionOpensOnlyForLocalFiles) {
    Value local = make("NetConnection");
    EXPECT_EQ(text(call(local, "connect", {Value::null()})), "true");
    EXPECT_EQ(text(get(local, "isConnected")), "true");
    call(local, "close");
    EXPECT_EQ(text(get(local, "isConnected")), "false");

    Value remote = make("NetConnection");
    EXPECT_EQ(text(call(remote, "connect", {"rtmp://example.com/app"})), "false");
    EXPECT_EQ(text(get(remote, "isConnected")), "false");
    EXPECT_EQ(host.errors.size(), 1u);
}

TEST_F(LibraryTest, NetStreamReportsAMissingFileThroughOnStatus) {
    Value stream = make("NetStream", {make("NetConnection")});
    Value seen = vm.makeArray();
    vm.setMember(stream, "seen", seen);
    vm.setMember(stream, "onStatus",
                 vm.makeNative([](Interpreter& v, const Value& self, std::span<const Value> args) {
                     Value code[] = {v.getMember(args[0], "code")};
                     v.callMethod(v.getMember(self, "seen"), "push", code);
                     return Value();
                 }));
    call(stream, "play", {"movie.flv"});
    EXPECT_EQ(text(seen), "NetStream.Play.StreamNotFound");
}

TEST_F(LibraryTest, StreamOnAnOpenConnectionGivesThePrototypeItsState) {
    Object* proto = global("NetStream.prototype").object();
    make("NetStream", {make("NetConnection")}); // not connected
    EXPECT_FALSE(vm.hasOwnProperty(proto, "currentFps"));
    Value connection = make("NetConnection");
    call(connection, "connect", {Value::null()});
    Value stream = make("NetStream", {connection});
    EXPECT_TRUE(vm.hasOwnProperty(proto, "currentFps"));
    EXPECT_EQ(text(get(stream, "time")) + "," + text(get(stream, "bufferTime")), "0,0.1");
}

TEST_F(LibraryTest, LocalConnectionNamesAreTakenOnceAndReservedMethodsRefused) {
    Value a = make("LocalConnection");
    Value b = make("LocalConnection");
    EXPECT_EQ(text(call(a, "connect", {"channel"})), "true");
    EXPECT_EQ(text(call(a, "connect", {"other"})), "false");   // already connected
    EXPECT_EQ(text(call(b, "connect", {"CHANNEL"})), "false"); // name in use, any case
    EXPECT_EQ(text(call(b, "connect", {"a:b"})), "false");
    EXPECT_EQ(text(call(b, "connect", {""})), "false");
    call(a, "close");
    EXPECT_EQ(text(call(b, "connect", {"channel"})), "true");

    EXPECT_EQ(text(call(a, "send", {"channel", "method"})), "true");
    EXPECT_EQ(text(call(a, "send", {"channel", "Close"})), "false");
    EXPECT_EQ(text(call(a, "send", {"channel", 5})), "false");
}

TEST_F(LibraryTest, FileReferenceListBroadcastsToItsListeners) {
    Value list = make("flash.net.FileReferenceList");
    EXPECT_EQ(text(get(list, "_listeners.length")), "0");
    Value listener = vm.makeObject();
    call(list, "addListener", {listener});
    EXPECT_TRUE(get(list, "_listeners.0").strictlyEquals(listener));
    EXPECT_TRUE(get(list, "fileList").isUndefined());
}

TEST_F(LibraryTest, ExternalInterfaceWritesValuesAsXml) {
    Value ei = global("flash.external.ExternalInterface");
    Value object = vm.makeObject();
    vm.setMember(object, "k", "<a&'\">");
    Value nested = vm.makeArray(std::vector<Value>{true, Value(), ""});
    struct Case {
        const char* helper;
        Value input;
        const char* expected;
    };
    const Case cases[] = {
        {"_toXML", 5.5, "<number>5.5</number>"},
        {"_toXML", Value::null(), "<null/>"},
        {"_toXML", "", "<string>null</string>"},
        {"_toXML", object,
         "<object><property id=\"k\"><string>&lt;a&amp;&apos;&quot;&gt;</string></property>"
         "</object>"},
        {"_toXML", nested,
         "<array><property id=\"0\"><true/></property><property id=\"1\"><undefined/>"
         "</property><property id=\"2\"><string>null</string></property></array>"},
        {"_argumentsToXML", nested, "<arguments><undefined/><string>null</string></arguments>"},
        {"_arrayToXML", "ab",
         "<array><property id=\"0\"><undefined/></property>"
         "<property id=\"1\"><undefined/></property></array>"},
        {"_unescapeXML", "&amp;lt;&LT;&quot;", "&lt;&LT;\""},
        {"_escapeXML", "", "null"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(text(call(ei, c.helper, {c.input})), c.expected) << c.helper;
}

TEST_F(LibraryTest, ExternalInterfaceStopsAtACycle) {
    Value object = vm.makeObject();
    vm.setMember(object, "self", object);
    const std::string xml =
        text(call(global("flash.external.ExternalInterface"), "_toXML", {object}));
    EXPECT_NE(xml.find("<null/>"), std::string::npos);
}

// ---- Version hiding ----

struct VersionCase {
    const char* name;
    int firstVersion;
};

class VersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTest, ClassIsHiddenFromOlderMovies) {
    NullHost host;
    for (int version = 5; version <= 8; ++version) {
        Interpreter vm(host, version);
        const bool visible = !vm.getMember(vm.global(), GetParam().name).isUndefined();
        EXPECT_EQ(visible, version >= GetParam().firstVersion) << "version " << version;
    }
}

INSTANTIATE_TEST_SUITE_P(Classes, VersionTest,
                         ::testing::Values(VersionCase{"Camera", 5}, VersionCase{"XMLSocket", 5},
                                           VersionCase{"NetConnection", 6},
                                           VersionCase{"LocalConnection", 6},
                                           VersionCase{"ContextMenu", 7},
                                           VersionCase{"PrintJob", 6}));

TEST(LibraryVersionTest, UncoveredPackageShowsExternalInterfaceFromVersion6) {
    NullHost host;
    for (int version : {5, 6}) {
        Interpreter vm(host, version);
        // As ASSetPropFlags(_global, "flash", 0, ...) leaves it.
        vm.global()->properties().find("flash", true)->flags = kDontEnum;
        Value external = vm.getMember(vm.getMember(vm.global(), "flash"), "external");
        EXPECT_EQ(vm.getMember(external, "ExternalInterface").isUndefined(), version == 5);
    }
}

TEST(LibraryVersionTest, PrintJobMethodsAppearInVersion7) {
    NullHost host;
    for (int version : {6, 7}) {
        Interpreter vm(host, version);
        Value job = vm.construct(vm.getMember(vm.global(), "PrintJob"), {});
        EXPECT_EQ(vm.getMember(job, "start").isUndefined(), version == 6);
        EXPECT_EQ(vm.toString(vm.getMember(job, "pageWidth")), "0");
    }
}

TEST_F(LibraryTest, ClassMethodsAreHiddenFromEnumeration) {
    for (const char* proto : {"Camera.prototype", "NetStream.prototype", "ContextMenu.prototype",
                              "flash.display.BitmapData.prototype"})
        EXPECT_TRUE(vm.enumerate(global(proto).object()).empty()) << proto;
}

// ---- ContextMenu ----

TEST_F(LibraryTest, ContextMenuHidesAndCopiesItsItems) {
    Value menu = make("ContextMenu");
    Value item = make("ContextMenuItem", {"Caption", Value()});
    EXPECT_EQ(text(get(item, "enabled")) + text(get(item, "visible")) +
                  text(get(item, "separatorBefore")),
              "truetruefalse");
    call(get(menu, "customItems"), "push", {item});
    EXPECT_EQ(text(get(menu, "builtInItems.zoom")), "true");
    call(menu, "hideBuiltInItems");
    Value copy = call(menu, "copy");
    EXPECT_FALSE(copy.strictlyEquals(menu));
    for (const char* name :
         {"print", "forward_back", "rewind", "loop", "play", "quality", "zoom", "save"})
        EXPECT_EQ(text(get(copy, std::string("builtInItems.") + name)), "false") << name;
    Value copiedItem = get(copy, "customItems.0");
    EXPECT_FALSE(copiedItem.strictlyEquals(item));
    EXPECT_EQ(text(get(copiedItem, "caption")), "Caption");
}

// ---- Filters ----

TEST_F(LibraryTest, FilterPropertiesAreBroughtIntoRange) {
    struct Case {
        const char* filter;
        const char* property;
        Value input;
        const char* expected;
    };
    const Case cases[] = {
        {"GlowFilter", "alpha", 0.5, "0.498039215686275"},
        {"GlowFilter", "alpha", 1.5, "1"},
        {"GlowFilter", "color", -305419896, "13347208"},
        {"GlowFilter", "quality", 2.5, "2"},
        {"GlowFilter", "quality", 100, "15"},
        {"GlowFilter", "strength", 256, "255"},
        {"BlurFilter", "blurX", -1, "0"},
        {"BlurFilter", "blurY", 100.5, "100.5"},
        {"DropShadowFilter", "angle", 366, "6"},
        {"DropShadowFilter", "distance", -1, "-1"},
        {"DropShadowFilter", "inner", Value::null(), "false"},
        {"BevelFilter", "type", "outer", "outer"},
        {"BevelFilter", "type", "INNER", "full"},
        {"DisplacementMapFilter", "mode", "Color", "wrap"},
        {"DisplacementMapFilter", "scaleX", 65536, "65535"},
        {"DisplacementMapFilter", "componentX", -234.5, "-234"},
        {"ConvolutionFilter", "matrixX", 100, "15"},
        {"ColorMatrixFilter", "matrix", Value::null(), "1,0,0,0,0,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0"},
    };
    for (const Case& c : cases) {
        Value filter = make(std::string("flash.filters.") + c.filter);
        vm.setMember(filter, c.property, c.input);
        EXPECT_EQ(text(get(filter, c.property)), c.expected) << c.filter << "." << c.property;
    }
}

TEST_F(LibraryTest, FiltersStartWithThePlayersDefaults) {
    EXPECT_EQ(text(get(make("flash.filters.GlowFilter"), "color")), "16711680");
    EXPECT_EQ(text(get(make("flash.filters.GlowFilter"), "blurX")), "6");
    EXPECT_EQ(text(get(make("flash.filters.DropShadowFilter"), "angle")), "44.9999999772279");
    EXPECT_EQ(text(get(make("flash.filters.ConvolutionFilter"), "alpha")), "0");
    EXPECT_EQ(text(get(make("flash.filters.BevelFilter", {10, 30}), "angle")), "30");
    EXPECT_EQ(text(get(make("flash.filters.DisplacementMapFilter"), "mapPoint")), "(x=0, y=0)");
}

TEST_F(LibraryTest, CloneCopiesSettingsIntoAnIndependentFilter) {
    Value filter = make("flash.filters.BlurFilter", {8, 2, 3});
    Value copy = call(filter, "clone");
    EXPECT_FALSE(copy.strictlyEquals(filter));
    vm.setMember(copy, "blurX", 1);
    EXPECT_EQ(text(get(filter, "blurX")) + "," + text(get(copy, "blurY")), "8,2");
    EXPECT_TRUE(vm.instanceOf(copy.object(), global("flash.filters.BlurFilter").object()));
    EXPECT_TRUE(call(make("flash.filters.BitmapFilter"), "clone").isUndefined());
}

TEST_F(LibraryTest, ConvolutionMatrixGrowsToItsSize) {
    Value filter = make("flash.filters.ConvolutionFilter");
    vm.setMember(filter, "matrix", vm.makeArray(std::vector<Value>{1, 2, 3}));
    vm.setMember(filter, "matrixX", 2);
    vm.setMember(filter, "matrixY", 2);
    EXPECT_EQ(text(get(filter, "matrix")), "1,2,3,0");
    vm.setMember(filter, "matrixX", 1); // shrinking the size keeps the entries
    EXPECT_EQ(text(get(filter, "matrix")), "1,2,3,0");
}

TEST_F(LibraryTest, GradientRatiosShortenTheEntriesAndColoursLengthenThem) {
    Value filter = make("flash.filters.GradientGlowFilter");
    vm.setMember(filter, "colors", vm.makeArray(std::vector<Value>{1, 2, 3}));
    vm.setMember(filter, "alphas", vm.makeArray(std::vector<Value>{0.5, 2}));
    vm.setMember(filter, "ratios", vm.makeArray(std::vector<Value>{500, 7}));
    EXPECT_EQ(text(get(filter, "colors")) + "|" + text(get(filter, "alphas")) + "|" +
                  text(get(filter, "ratios")),
              "1,2|0.501960784313725,1|255,7");
}

// ---- BitmapData ----

TEST_F(LibraryTest, BitmapSizeIsLimitedTo2880) {
    struct Case {
        int width, height;
        const char* expectedWidth; // a size not allowed makes no object
    };
    const Case cases[] = {{2880, 2880, "2880"}, {2881, 1, "undefined"}, {1, 2881, "undefined"},
                          {0, 5, "undefined"},  {-3, 5, "undefined"},   {1, 1, "1"}};
    for (const Case& c : cases) {
        Value bitmap = make("flash.display.BitmapData", {c.width, c.height});
        EXPECT_EQ(text(get(bitmap, "width")), c.expectedWidth) << c.width << "x" << c.height;
    }
}

TEST_F(LibraryTest, BitmapPixelsReadBackAsSetAndOutsideReadsZero) {
    Value clear = make("flash.display.BitmapData", {4, 3, true, 0});
    call(clear, "setPixel32", {1, 1, -16776961}); // 0xFF0000FF
    call(clear, "setPixel", {2, 1, 0x123456});    // keeps alpha 0
    EXPECT_EQ(text(call(clear, "getPixel32", {1, 1})), "-16776961");
    EXPECT_EQ(text(call(clear, "getPixel", {2, 1})), "0");
    EXPECT_EQ(text(call(clear, "getPixel", {4, 0})), "0");
    EXPECT_EQ(text(call(clear, "getPixel32", {-1, 0})), "0");
    EXPECT_EQ(text(get(clear, "rectangle")), "(x=0, y=0, w=4, h=3)");

    // A transparent pixel's colour keeps only what premultiplying by its alpha leaves.
    call(clear, "setPixel32", {0, 0, int32_t(0xAABBCCDD)});
    EXPECT_EQ(text(call(clear, "getPixel32", {0, 0})), std::to_string(int32_t(0xAABBCCDC)));
    // Too few arguments, or a disposed bitmap: -1 and no change.
    EXPECT_EQ(text(call(clear, "setPixel32", {0, 0})), "-1");
    EXPECT_EQ(text(call(clear, "getPixel32", {0})), "-1");
    EXPECT_EQ(text(call(clear, "getPixel32", {0, 0})), std::to_string(int32_t(0xAABBCCDC)));

    Value opaque = make("flash.display.BitmapData", {2, 2, false, 0x00112233});
    EXPECT_EQ(text(call(opaque, "getPixel32", {0, 0})), std::to_string(int32_t(0xFF112233)));
    call(opaque, "setPixel32", {0, 0, 0x10ABCDEF});
    EXPECT_EQ(text(call(opaque, "getPixel32", {0, 0})), std::to_string(int32_t(0xFFABCDEF)));
}

TEST_F(LibraryTest, BitmapFillsCopiesAndFloods) {
    Value bitmap = make("flash.display.BitmapData", {5, 5, false, 0});
    Value rect = make("flash.geom.Rectangle", {3, 3, 10, 10});
    call(bitmap, "fillRect", {rect, 0xFF0000}); // clipped to the picture
    EXPECT_EQ(text(call(bitmap, "getPixel", {4, 4})), std::to_string(0xFF0000));
    EXPECT_EQ(text(call(bitmap, "getPixel", {2, 2})), "0");

    // The flood stops at the red square and fills the rest of the black.
    EXPECT_EQ(text(call(bitmap, "floodFill", {0, 0, 0x00FF00})), "1");
    EXPECT_EQ(text(call(bitmap, "floodFill", {0, 0, 0x00FF00})), "0"); // nothing to paint
    EXPECT_EQ(text(call(bitmap, "getPixel", {4, 0})), std::to_string(0x00FF00));
    EXPECT_EQ(text(call(bitmap, "getPixel", {3, 3})), std::to_string(0xFF0000));

    Value target = make("flash.display.BitmapData", {3, 3, false, 0});
    call(target, "copyPixels",
         {bitmap, make("flash.geom.Rectangle", {3, 3, 2, 2}), make("flash.geom.Point", {2, 2})});
    EXPECT_EQ(text(call(target, "getPixel", {2, 2})), std::to_string(0xFF0000));
    EXPECT_EQ(text(call(target, "getPixel", {1, 1})), "0");

    // A rectangle reaching above and left of the source shifts the copy by as much.
    Value shifted = make("flash.display.BitmapData", {4, 4, false, 0});
    call(shifted, "copyPixels",
         {bitmap, make("flash.geom.Rectangle", {-1, -1, 5, 5}), make("flash.geom.Point", {0, 0})});
    EXPECT_EQ(text(call(shifted, "getPixel", {0, 0})), "0");
    EXPECT_EQ(text(call(shifted, "getPixel", {1, 1})), std::to_string(0x00FF00));

    // A rectangle of negative size copies and fills nothing.
    Value backwards = make("flash.geom.Rectangle", {4, 0, -3, 3});
    call(target, "copyPixels", {bitmap, backwards, make("flash.geom.Point", {0, 0})});
    call(target, "fillRect", {backwards, 0xFFFFFF});
    EXPECT_EQ(text(call(target, "getPixel", {1, 1})), "0");

    Value copy = call(bitmap, "clone");
    call(bitmap, "dispose");
    EXPECT_EQ(text(get(bitmap, "width")) + text(get(bitmap, "rectangle")), "-1-1");
    EXPECT_EQ(text(call(copy, "getPixel", {4, 4})), std::to_string(0xFF0000));
}

TEST_F(LibraryTest, BitmapsTogetherStopAtTheirPixelBound) {
    // Eight of the largest fit; a ninth, while the others live, stops the script.
    std::vector<Value> kept;
    for (int i = 0; i < 8; ++i)
        kept.push_back(make("flash.display.BitmapData", {2880, 2880}));
    EXPECT_THROW(make("flash.display.BitmapData", {2880, 2880}), ScriptAbort);
    // Disposing gives the room back.
    call(kept[0], "dispose");
    EXPECT_EQ(text(get(make("flash.display.BitmapData", {2880, 2880}), "width")), "2880");
}

TEST_F(LibraryTest, NoiseIsRepeatableAndKeepsToItsChannels) {
    Value a = make("flash.display.BitmapData", {8, 8, false, 0});
    Value b = make("flash.display.BitmapData", {8, 8, false, 0});
    call(a, "noise", {42, 0, 255, 1}); // red only
    call(b, "noise", {42, 0, 255, 1});
    bool anyRed = false;
    for (int i = 0; i < 64; ++i) {
        const double pa = vm.toNumber(call(a, "getPixel", {i % 8, i / 8}));
        EXPECT_EQ(pa, vm.toNumber(call(b, "getPixel", {i % 8, i / 8})));
        EXPECT_EQ(int(pa) & 0xFFFF, 0);
        anyRed = anyRed || pa != 0;
    }
    EXPECT_TRUE(anyRed);

    // The player's generator: seed 1 starts 0xA7, 0xF1, 0xD9; a seed of -1 runs as 2.
    Value gray = make("flash.display.BitmapData", {3, 1, false, 0});
    call(gray, "noise", {1, 0, 255, 7, true});
    EXPECT_EQ(text(call(gray, "getPixel", {1, 0})), std::to_string(0xF1F1F1));
    Value c = make("flash.display.BitmapData", {1, 1, false, 0});
    call(c, "noise", {-1});
    EXPECT_EQ(text(call(c, "getPixel", {0, 0})), std::to_string(0x4EE2B3));
}

} // namespace
} // namespace swivio::swf::avm1
