// XML, XMLNode, LoadVars and loading beside the movie, driven through the interpreter's own
// member access and calls as a script would drive them.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"
#include "swf/avm1/builtins.h"
#include "swf/avm1/builtins_xml.h"
#include "swf/avm1/loading.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/avm1/xml_parser.h"
#include "swf/format/movie_definition.h"
#include "swf/player/timeline_player.h"

namespace swivio::swf::avm1 {
namespace {

class CollectingHost : public ScriptHost {
public:
    void traceLine(std::string_view) override {}
    void scriptError(std::string_view message) override { errors.emplace_back(message); }
    std::vector<std::string> errors;
};

// Member access and calls shared by the tests.
struct Probe {
    Interpreter& vm;

    Value global(std::string_view name) { return vm.getMember(vm.global(), name); }
    Value make(std::string_view className, std::vector<Value> args = {}) {
        return vm.construct(global(className), args);
    }
    Value xml(std::string_view text) { return make("XML", {Value(text)}); }
    Value call(const Value& object, std::string_view method, std::vector<Value> args = {}) {
        return vm.callMethod(object, method, args);
    }
    Value get(const Value& object, std::string_view name) { return vm.getMember(object, name); }
    void set(const Value& object, std::string_view name, Value v) { vm.setMember(object, name, v); }
    std::string text(const Value& v) { return vm.toString(v); }
};

class XmlTest : public ::testing::Test {
protected:
    explicit XmlTest(int version = 8) : vm(host, version), p{vm} {}
    CollectingHost host;
    Interpreter vm;
    Probe p;
};

// ---- Reading and writing ----

struct RoundTrip {
    const char* input;
    const char* written;
};

TEST_F(XmlTest, DocumentsAreWrittenBackAsTheyRead) {
    const RoundTrip cases[] = {
        {"<a x=\"1\" y='2'><b /></a>", "<a x=\"1\" y=\"2\"><b /></a>"},
        {"<a></a>", "<a />"},
        {"<a>x &amp; y</a>", "<a>x &amp; y</a>"},
        {"<a>&lt;&#65;&#x42;&apos;&quot;&gt;</a>", "<a>&lt;AB&apos;&quot;&gt;</a>"},
        {"<a t=\"&quot;&lt;\" />", "<a t=\"&quot;&lt;\" />"},
        {"<a><![CDATA[<x>&]]></a>", "<a>&lt;x&gt;&amp;</a>"},
        {"<a><!-- gone --></a>", "<a />"},
        {"<a>&bogus; &#xZZ;</a>", "<a>&amp;bogus; &amp;#xZZ;</a>"},
        {"<?xml version=\"1.0\"?><!DOCTYPE a><a/>", "<?xml version=\"1.0\"?><!DOCTYPE a><a />"},
        {"text<a/>", "text<a />"},
    };
    for (const RoundTrip& c : cases)
        EXPECT_EQ(p.text(p.xml(c.input)), c.written) << c.input;
}

TEST_F(XmlTest, IgnoreWhiteDropsOnlyBlankText) {
    Value doc = p.make("XML");
    p.set(doc, "ignoreWhite", true);
    p.call(doc, "parseXML", {Value("<a>\n  <b> x </b>\t</a>")});
    EXPECT_EQ(p.text(doc), "<a><b> x </b></a>");
    Value kept = p.xml("<a> <b/></a>");
    EXPECT_EQ(p.text(p.get(p.get(p.get(kept, "firstChild"), "childNodes"), "length")), "2");
}

struct StatusCase {
    const char* input;
    int status;
};

TEST_F(XmlTest, MalformedInputSetsTheStatusAndKeepsWhatCameBefore) {
    const StatusCase cases[] = {
        {"<a><b/></a>", 0}, {"<a><![CDATA[x", -2}, {"<?xml version", -3}, {"<!DOCTYPE x", -4},
        {"<a><!-- x", -5},  {"<a b=1/>", -6},      {"<a b", -6},          {"<a b=\"1/>", -8},
        {"<a><b>", -9},     {"</a>", -10},         {"<a></b>", -10},
    };
    for (const StatusCase& c : cases)
        EXPECT_EQ(p.text(p.get(p.xml(c.input), "status")), std::to_string(c.status)) << c.input;
    EXPECT_EQ(p.text(p.xml("<k/><a><b>")), "<k /><a><b /></a>");
}

TEST(XmlParserTest, HostileNestingAndSizeStopWithoutExhaustingTheMachine) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    xml::ParseResult nested = xml::parse(deep, false);
    EXPECT_EQ(nested.status, xml::kOutOfMemory);

    std::string wide;
    for (int i = 0; i < 1000; ++i)
        wide += "<b/>";
    xml::ParseLimits limits;
    limits.maxNodes = 100;
    xml::ParseResult many = xml::parse(wide, false, limits);
    EXPECT_EQ(many.status, xml::kOutOfMemory);
    EXPECT_EQ(many.nodes.size(), 100u);
}

TEST_F(XmlTest, AttributesAreAPlainObjectListedInDocumentOrder) {
    Value a = p.get(p.xml("<a one=\"1\" two=\"2\" one=\"3\"/>"), "firstChild");
    Value attributes = p.get(a, "attributes");
    EXPECT_EQ(p.text(p.get(attributes, "one")), "3");
    std::string names;
    for (const SharedString& name : vm.enumerate(attributes.object()))
        names += name.str() + ",";
    EXPECT_EQ(names, "one,two,");
}

// ---- The tree ----

TEST_F(XmlTest, NavigationFollowsTheTree) {
    Value doc = p.xml("<r><a/>t<b/></r>");
    Value r = p.get(doc, "firstChild");
    Value a = p.get(r, "firstChild");
    Value t = p.get(a, "nextSibling");
    const std::pair<Value, const char*> cases[] = {
        {p.get(r, "nodeName"), "r"},
        {p.get(r, "nodeType"), "1"},
        {p.get(r, "nodeValue"), "null"},
        {p.get(t, "nodeType"), "3"},
        {p.get(t, "nodeValue"), "t"},
        {p.get(t, "nodeName"), "null"},
        {p.get(p.get(r, "lastChild"), "nodeName"), "b"},
        {p.get(p.get(r, "lastChild"), "previousSibling"), "t"},
        {p.get(a, "previousSibling"), "null"},
        {p.get(p.get(r, "lastChild"), "nextSibling"), "null"},
        {p.get(p.get(r, "childNodes"), "length"), "3"},
        {p.get(p.get(a, "parentNode"), "nodeName"), "r"},
        {p.get(doc, "parentNode"), "null"},
        {p.call(r, "hasChildNodes"), "true"},
        {p.call(a, "hasChildNodes"), "false"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(p.text(value), expected);
}

TEST_F(XmlTest, NodesHoldNoPropertiesOfTheirOwn) {
    Value doc = p.xml("<?xml version=\"1.0\"?><p:r xmlns:p=\"urn:x\"><a/></p:r>");
    EXPECT_TRUE(vm.enumerate(doc.object()).empty());
    Value r = p.get(doc, "firstChild");
    p.set(r, "firstChild", Value(5)); // read-only: neither taken nor shadowed
    EXPECT_EQ(p.text(p.get(p.get(r, "firstChild"), "nodeName")), "a");
    p.set(r, "nodeName", Value("p:s"));
    const std::pair<Value, const char*> cases[] = {
        {p.get(r, "prefix"), "p"},
        {p.get(r, "localName"), "s"},
        {p.get(r, "namespaceURI"), "urn:x"},
        {p.get(p.get(r, "firstChild"), "namespaceURI"), ""},
        {p.call(p.get(r, "firstChild"), "getNamespaceForPrefix", {Value("p")}), "urn:x"},
        {p.call(r, "getPrefixForNamespace", {Value("urn:x")}), "p"},
        {p.get(doc, "xmlDecl"), "<?xml version=\"1.0\"?>"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(p.text(value), expected);
}

TEST_F(XmlTest, EditsMoveNodesAndRefuseLoops) {
    Value doc = p.xml("<r><a/><b/></r>");
    Value r = p.get(doc, "firstChild");
    Value a = p.get(r, "firstChild");
    Value b = p.get(r, "lastChild");
    p.call(b, "appendChild", {a});
    EXPECT_EQ(p.text(doc), "<r><b><a /></b></r>");
    p.call(a, "appendChild", {r}); // r holds a: it cannot go inside a
    p.call(r, "appendChild", {r});
    EXPECT_EQ(p.text(doc), "<r><b><a /></b></r>");
    p.call(r, "insertBefore", {a, b});
    EXPECT_EQ(p.text(doc), "<r><a /><b /></r>");
    p.call(r, "insertBefore", {b, a}); // already a child here: stays where it is
    EXPECT_EQ(p.text(doc), "<r><a /><b /></r>");
    Value before = p.get(r, "childNodes");
    p.call(a, "removeNode");
    EXPECT_EQ(p.text(doc), "<r><b /></r>");
    // The same array, following the change.
    EXPECT_TRUE(before.strictlyEquals(p.get(r, "childNodes")));
    EXPECT_EQ(p.text(p.get(before, "length")), "1");
    EXPECT_EQ(p.text(p.get(a, "parentNode")), "null");
    Value made = p.call(doc, "createElement", {Value("n")});
    p.call(made, "appendChild", {p.call(doc, "createTextNode", {Value("<&>")})});
    p.call(r, "appendChild", {made});
    EXPECT_EQ(p.text(doc), "<r><b /><n>&lt;&amp;&gt;</n></r>");
}

TEST_F(XmlTest, ScriptBuiltNestingStopsAtItsBound) {
    Value doc = p.make("XML");
    Value deepest = doc;
    int depth = 0;
    for (; depth < kMaxTreeDepth + 10; ++depth) {
        Value child = p.call(doc, "createElement", {Value("n")});
        p.call(deepest, "appendChild", {child});
        if (!p.get(child, "parentNode").isObject())
            break;
        deepest = child;
    }
    EXPECT_EQ(depth, kMaxTreeDepth);
    // Serialising the deep tree does not recurse on the machine's stack: "<n>" and "</n>"
    // around every node but the innermost "<n />".
    EXPECT_EQ(p.text(doc).size(), std::size_t(kMaxTreeDepth - 1) * 7 + 5);
}

TEST_F(XmlTest, ClonesAreIndependentAndDeepOnlyWhenAsked) {
    Value r = p.get(p.xml("<r k=\"v\"><a/></r>"), "firstChild");
    Value shallow = p.call(r, "cloneNode", {Value(false)});
    Value deep = p.call(r, "cloneNode", {Value(true)});
    EXPECT_EQ(p.text(shallow), "<r k=\"v\" />");
    EXPECT_EQ(p.text(deep), "<r k=\"v\"><a /></r>");
    p.set(p.get(deep, "attributes"), "k", Value("w"));
    p.call(p.get(deep, "firstChild"), "removeNode");
    EXPECT_EQ(p.text(r), "<r k=\"v\"><a /></r>");
}

TEST_F(XmlTest, IdMapCollectsElementsById) {
    Value doc = p.xml("<a id=\"x\"><b id=\"y\"/></a>");
    Value map = p.get(doc, "idMap");
    EXPECT_EQ(p.text(p.get(p.get(map, "y"), "nodeName")), "b");
    p.call(doc, "parseXML", {Value("<c id=\"z\"/>")});
    EXPECT_EQ(p.text(p.get(p.get(map, "z"), "nodeName")), "c");
    EXPECT_TRUE(p.get(map, "x").isObject()); // kept across parses
    EXPECT_TRUE(p.get(p.xml("<a/>"), "idMap").isUndefined());
}

class XmlVersion7Test : public XmlTest {
protected:
    XmlVersion7Test() : XmlTest(7) {}
};

TEST_F(XmlVersion7Test, NoIdMapBeforeVersion8) {
    EXPECT_TRUE(p.get(p.xml("<a id=\"x\"/>"), "idMap").isUndefined());
}

// ---- LoadVars ----

TEST_F(XmlTest, LoadVarsDecodesAndEncodesQueryStrings) {
    Value lv = p.make("LoadVars");
    p.call(lv, "decode", {Value("a=1&b=two%20words+x&&d=%26")});
    const std::pair<const char*, const char*> decoded[] = {
        {"a", "1"}, {"b", "two words x"}, {"d", "&"}};
    for (const auto& [name, value] : decoded)
        EXPECT_EQ(p.text(p.get(lv, name)), value) << name;
    EXPECT_EQ(p.text(p.call(lv, "decode")), "false");

    Value out = p.make("LoadVars");
    p.set(out, "a", Value(3));
    p.set(out, "b c", Value("x_y.z&"));
    EXPECT_EQ(p.text(out), "b%20c=x%5Fy%2Ez%26&a=3"); // newest first, as for..in
}

// ---- Loading beside the movie ----

TEST(LoadPathTest, OnlyFilesInTheMovieFolderOrBelow) {
    testkit::TempDir dir;
    const std::string movie = dir.file("movie.swf");
    std::filesystem::create_directory(dir.path() / "sub");
    std::filesystem::create_symlink("/etc", dir.path() / "out");
    const std::pair<const char*, bool> cases[] = {
        {"data.txt", true},     {"sub/data.txt", true},   {"data.txt?x=1", true},
        {"./data.txt", true},   {"../data.txt", false},   {"sub/../../x", false},
        {"/etc/passwd", false}, {"http://host/x", false}, {"file:///etc/passwd", false},
        {"C:\\x.txt", false},   {"sub\\x.txt", false},    {"", false},
        {"out/passwd", false},  {"?only", false},
    };
    for (const auto& [url, allowed] : cases) {
        std::string why;
        EXPECT_EQ(localLoadPath(movie, url, why).has_value(), allowed) << url;
    }
    std::string why;
    EXPECT_FALSE(localLoadPath("", "data.txt", why));
}

// Bytes of a clip named "mc" at depth 1 whose onClipEvent(data) sets got = "yes".
std::vector<uint8_t> clipWithDataHandler() {
    const std::vector<uint8_t> actions = {0x96, 10,  0,   0,   'g', 'o',  't', 0,
                                          0,    'y', 'e', 's', 0,   0x1D, 0};
    std::vector<uint8_t> place = {0xA2, 1, 0, 1, 0, 'm', 'c', 0, 0, 0, 0, 1, 0, 0};
    place.insert(place.end(), {0, 1, 0, 0, uint8_t(actions.size()), 0, 0, 0});
    place.insert(place.end(), actions.begin(), actions.end());
    place.insert(place.end(), {0, 0, 0, 0});
    return place;
}

class LoadingTest : public ::testing::Test {
protected:
    LoadingTest() {
        testkit::SwfWriter writer;
        writer.version = 8;
        std::vector<uint8_t> sprite = {1, 0, 1, 0};
        for (uint16_t code : {1, 0}) {
            auto record = testkit::SwfWriter::tagRecord(code, {});
            sprite.insert(sprite.end(), record.begin(), record.end());
        }
        writer.tag(39, sprite).tag(26, clipWithDataHandler());
        writer.showFrame().showFrame().showFrame().end();
        auto movie = readMovieDefinition(writer.build());
        EXPECT_TRUE(movie.ok());
        runtime = std::make_unique<ScriptRuntime>(movie.value(), dir.file("movie.swf"));
        runtime->setErrorSink([this](std::string_view e) { errors.emplace_back(e); });
        player = std::make_unique<TimelinePlayer>(movie.value(), nullptr, runtime.get());
        runtime->attach(*player);
    }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir.file(name), std::ios::binary) << text;
    }
    // Records each onLoad/onData on the object's "log" member.
    static Value logCall(Interpreter& vm, const Value& self, std::span<const Value> args) {
        std::string line = vm.toString(vm.getMember(self, "log"));
        line += "[" + vm.toString(argAt(args, 0)) + "]";
        vm.setMember(self, "log", Value(line));
        return Value();
    }
    Interpreter& vm() { return runtime->interpreter(); }

    testkit::TempDir dir;
    std::vector<std::string> errors;
    std::unique_ptr<ScriptRuntime> runtime;
    std::unique_ptr<TimelinePlayer> player;
};

TEST_F(LoadingTest, DataArrivesOnTheNextFrameWithoutAByteOrderMark) {
    write("vars.txt", "\xEF\xBB\xBFk=v&n=1");
    Probe p{vm()};
    Value lv = p.make("LoadVars");
    p.set(lv, "onLoad", vm().makeNative(logCall));
    EXPECT_EQ(p.text(p.call(lv, "load", {Value("vars.txt")})), "true");
    EXPECT_EQ(p.text(p.get(lv, "loaded")), "false");
    EXPECT_TRUE(p.get(lv, "k").isUndefined()); // not before the next frame
    runtime->tick();
    EXPECT_EQ(p.text(p.get(lv, "k")), "v");
    EXPECT_EQ(p.text(p.get(lv, "log")), "undefined[true]");
    EXPECT_EQ(p.text(p.call(lv, "getBytesTotal")), "10");
    EXPECT_EQ(p.text(p.get(lv, "loaded")), "true");
}

TEST_F(LoadingTest, MissingOrEmptyFilesFailAndRefusedUrlsAreReported) {
    write("empty.txt", "");
    Probe p{vm()};
    Value missing = p.make("XML");
    Value empty = p.make("XML");
    for (const Value& x : {missing, empty})
        p.set(x, "onLoad", vm().makeNative(logCall));
    EXPECT_EQ(p.text(p.call(missing, "load", {Value("nothing.xml")})), "true");
    EXPECT_EQ(p.text(p.call(empty, "load", {Value("empty.txt")})), "true");
    EXPECT_EQ(p.text(p.call(missing, "load", {Value("http://example.com/x")})), "false");
    EXPECT_EQ(errors.size(), 1u);
    runtime->tick();
    EXPECT_EQ(p.text(p.get(missing, "log")), "undefined[false]");
    EXPECT_EQ(p.text(p.get(empty, "log")), "undefined[false]");
    EXPECT_FALSE(vm().hasOwnProperty(missing.object(), "loaded"));
}

TEST_F(LoadingTest, XmlLoadsParseIntoTheDocument) {
    write("doc.xml", "<a><b/></a>");
    Probe p{vm()};
    Value doc = p.make("XML");
    Value target = p.make("XML");
    p.call(doc, "sendAndLoad", {Value("doc.xml"), target});
    runtime->tick();
    EXPECT_EQ(p.text(target), "<a><b /></a>");
    EXPECT_EQ(p.text(p.get(target, "loaded")), "true");
    EXPECT_EQ(p.text(p.call(doc, "sendAndLoad", {Value("doc.xml"), Value(3)})), "false");
}

TEST_F(LoadingTest, LoadVariablesSetsTheClipsVariablesLater) {
    write("v.txt", "greeting=hello%20there");
    Probe p{vm()};
    Value root(static_cast<Object*>(runtime->rootClip()));
    p.set(root, "onData", vm().makeNative(logCall));
    runtime->getUrl(runtime->rootClip(), "v.txt", "", 0, false, true);
    runtime->getUrl(runtime->rootClip(), "../v.txt", "", 0, false, true);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(p.get(root, "greeting").isUndefined());
    runtime->tick();
    EXPECT_EQ(p.text(p.get(root, "greeting")), "hello there");
    EXPECT_EQ(p.text(p.get(root, "log")), "undefined[undefined]");
}

TEST_F(LoadingTest, LoadVariablesIntoAClipRunsItsDataEvent) {
    write("v.txt", "a=1");
    Probe p{vm()};
    Value mc = p.get(Value(static_cast<Object*>(runtime->rootClip())), "mc");
    ASSERT_TRUE(mc.isObject());
    p.call(mc, "loadVariables", {Value("v.txt")});
    EXPECT_TRUE(p.get(mc, "got").isUndefined());
    runtime->tick();
    EXPECT_EQ(p.text(p.get(mc, "a")), "1");
    EXPECT_EQ(p.text(p.get(mc, "got")), "yes");
}

TEST_F(LoadingTest, MovieClipLoaderReportsWhatItCannotLoad) {
    write("child.swf", "FWS");
    Probe p{vm()};
    Value loader = p.make("MovieClipLoader");
    EXPECT_TRUE(p.get(p.get(loader, "_listeners"), "0").strictlyEquals(loader));
    EXPECT_FALSE(vm().hasOwnProperty(loader.object(), "addListener"));
    Value listener = vm().makeObject();
    p.set(listener, "onLoadError", vm().makeNative(logCall));
    p.call(loader, "addListener", {listener});
    Value root(static_cast<Object*>(runtime->rootClip()));
    EXPECT_EQ(p.text(p.call(loader, "loadClip", {Value("child.swf"), Value("nowhere")})), "false");
    // A file outside the movie's folder is refused when the load is answered.
    EXPECT_EQ(p.text(p.call(loader, "loadClip", {Value("/abs.swf"), root})), "true");
    EXPECT_EQ(p.text(p.call(loader, "loadClip", {Value("child.swf"), root})), "true");
    EXPECT_TRUE(p.get(listener, "log").isUndefined());
    runtime->tick();
    EXPECT_EQ(p.text(p.get(listener, "log")), "undefined[_level0]");
    Value progress = p.call(loader, "getProgress", {root});
    EXPECT_TRUE(progress.isObject());
    EXPECT_TRUE(p.get(progress, "__proto__").isUndefined());
    EXPECT_EQ(vm().enumerate(progress.object()).size(), 2u);
    EXPECT_TRUE(p.call(loader, "getProgress", {Value(vm().makeObject())}).isUndefined());
}

} // namespace
} // namespace swivio::swf::avm1
