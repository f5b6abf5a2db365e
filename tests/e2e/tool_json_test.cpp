// atlasync-tool's JSON against what docs/json.md and docs/json-schema.json
// promise: real commands, the served world, a volume and the phone simulator.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "mapserver/drive/drive_writer.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The part of JSON Schema the checked-in schema uses; anything else in it is
// an error of its own, so that the schema cannot promise what goes unchecked.
class SchemaCheck {
public:
    explicit SchemaCheck(json root) : m_root(std::move(root)) {}

    // What in `value` breaks the definition `name`, one line each; "" when nothing.
    std::string errors(const json& value, const std::string& name) {
        m_errors.clear();
        check(value, m_root.at("definitions").at(name), name);
        return m_errors;
    }

private:
    static bool has_type(const json& value, const std::string& type) {
        return (type == "object" && value.is_object()) || (type == "array" && value.is_array()) ||
               (type == "string" && value.is_string()) ||
               (type == "integer" && value.is_number_integer()) ||
               (type == "number" && value.is_number()) ||
               (type == "boolean" && value.is_boolean()) || (type == "null" && value.is_null());
    }

    void fail(const std::string& where, const std::string& what) {
        m_errors += where + ": " + what + "\n";
    }

    void check(const json& value, const json& schema, const std::string& where) {
        for (const auto& [keyword, rule] : schema.items()) {
            if (keyword == "$ref") {
                check(value, m_root.at("definitions").at(rule.get<std::string>().substr(14)),
                      where);
            } else if (keyword == "type") {
                const json types = rule.is_array() ? rule : json::array({rule});
                if (std::none_of(types.begin(), types.end(),
                                 [&](const json& type) { return has_type(value, type); })) {
                    fail(where, value.dump() + " is not " + rule.dump());
                }
            } else if (keyword == "const" && value != rule) {
                fail(where, value.dump() + " is not " + rule.dump());
            } else if (keyword == "enum" &&
                       std::find(rule.begin(), rule.end(), value) == rule.end()) {
                fail(where, value.dump() + " is none of " + rule.dump());
            } else if (keyword == "pattern" && value.is_string() &&
                       !std::regex_search(value.get<std::string>(),
                                          std::regex(rule.get<std::string>()))) {
                fail(where, value.dump() + " does not match " + rule.dump());
            } else if (keyword == "required" && value.is_object()) {
                for (const json& key : rule) {
                    if (!value.contains(key.get<std::string>())) {
                        fail(where, "no " + key.dump());
                    }
                }
            } else if (keyword == "properties" && value.is_object()) {
                for (const auto& [key, field] : value.items()) {
                    if (rule.contains(key)) {
                        check(field, rule.at(key), where + "." + key);
                    } else if (!schema.value("additionalProperties", true)) {
                        fail(where, "unexpected " + key);
                    }
                }
            } else if (keyword == "items" && value.is_array()) {
                for (std::size_t i = 0; i < value.size(); ++i) {
                    check(value[i], rule, where + "[" + std::to_string(i) + "]");
                }
            } else if (keyword != "additionalProperties" && keyword != "const" &&
                       keyword != "enum" && keyword != "pattern" && keyword != "required" &&
                       keyword != "properties" && keyword != "items") {
                fail(where, "the check does not know the keyword " + keyword);
            }
        }
    }

    json m_root;
    std::string m_errors;
};

json read_schema() {
    std::ifstream in(ATLASYNC_JSON_SCHEMA_PATH);
    return json::parse(in);
}

class ToolJson : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        serve();
        m_volume = m_work.path() / "volume";
        write_outdated_drive(m_volume);
    }

    void write_outdated_drive(const fs::path& folder) { (void)write_old_drive(folder, {1}); }

    std::vector<std::string> served(std::vector<std::string> args) const {
        args.insert(args.end(), {"--server-root", "localhost:" + std::to_string(port()), "--json"});
        return args;
    }
    std::vector<std::string> on_volume(const std::string& command) const {
        return served({command, "--volume", m_volume.string()});
    }
    int port() const { return m_world->served().port(); }

    struct Output {
        int status = -1;
        json document;
        std::vector<json> lines;  // stderr, one JSON value a line
    };

    Output run(const std::vector<std::string>& toolArgs) const {
        const fs::path errors = m_work.path() / "stderr.txt";
        std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" 2>\"" + errors.string() + "\"",
                                         ATLASYNC_TOOL_PATH};
        args.insert(args.end(), toolArgs.begin(), toolArgs.end());
        std::string text;
        Output output;
        output.status = run_program("/bin/sh", args, &text);
        output.document = json::parse(text, nullptr, false);
        std::ifstream in(errors);
        for (std::string line; std::getline(in, line);) {
            output.lines.push_back(json::parse(line, nullptr, false));
        }
        return output;
    }

    PhoneFarm m_farm;
    TempDir m_work;
    fs::path m_volume;
    SchemaCheck m_schema{read_schema()};
};

TEST_F(ToolJson, TheSchemaCheckRefusesWhatTheSchemaDoesNotAllow) {
    const json step = {{"step", "get_region_list"}, {"code", 0}};
    EXPECT_EQ(m_schema.errors(step, "step"), "");
    for (const json& wrong :
         {json{{"step", "GetRegionList"}, {"code", 0}}, json{{"step", "download"}, {"code", "0"}},
          json{{"step", "download"}}, json{{"step", "download"}, {"code", 0}, {"Code", 0}}}) {
        EXPECT_NE(m_schema.errors(wrong, "step"), "") << wrong;
    }
}

// Each document on stdout and each line on stderr, as its definition says.
TEST_F(ToolJson, EveryDocumentAndLineIsWhatTheSchemaDescribes) {
    m_farm.create("alpha", {"--serial", "SN-1", "--name", "Alpha", "--capacity", "E:1G"});
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* document;  // its definition in the schema
        bool lines;            // messages on stderr, each a message line
    };
    const Case cases[] = {
        {on_volume("check"), 99, "session", true},
        {on_volume("update"), 0, "session", true},
        {{"check", "--server-root", "localhost:1", "--json"}, 9, "session", false},
        {served({"phones", "--drive-flags", "1"}), 0, "phones", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        const Output output = run(c.args);
        EXPECT_EQ(output.status, c.status);
        EXPECT_EQ(m_schema.errors(output.document, c.document), "") << output.document.dump(2);
        if (std::string(c.document) == "session") {
            EXPECT_EQ(output.document.value("result", -1), c.status) << "the document's status";
        }
        EXPECT_EQ(output.lines.empty(), !c.lines);
        for (const json& line : output.lines) {
            EXPECT_EQ(m_schema.errors(line, "message_line"), "") << line.dump();
        }
    }
}

TEST_F(ToolJson, DrivesAreNamedAsTheirOwnerKnowsThem) {
    m_farm.create("alpha", {"--serial", "SN-1", "--name", "Alpha", "--capacity", "E:1G"});
    const Output output = run(served({"phones", "--volume", m_volume.string()}));
    ASSERT_EQ(output.status, 0) << output.document;
    std::vector<std::string> names;
    for (const json& phone : output.document.at("phones")) {
        for (const json& drive : phone.at("drives")) {
            names.push_back(drive.at("name"));
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"C:", "E:", m_volume.string()}));
}

TEST_F(ToolJson, AFailureCarriesItsStepCodeAndTheErrorPagesText) {
    const Output refused = run({"check", "--server-root", "localhost:1", "--json"});
    EXPECT_EQ(refused.document.value("phones", json()), json()) << "phones were never looked for";
    json error = refused.document.at("error");
    // What libcurl said of the way to the server, naming its host.
    EXPECT_NE(error.value("cause", "").find("cannot reach the map server localhost"),
              std::string::npos)
        << error.dump();
    error.erase("cause");
    EXPECT_EQ(error,
              (json{{"step", "get_mapsapp_catalog"},
                    {"code", 9},
                    {"text",
                     "Connection to the map server has been interrupted (9).\nMake sure that your "
                     "internet connection is working and try again.\nIf you are still unable to "
                     "update, try again later."}}));

    // Nothing here can start the phone side: the document is the error alone.
    m_farm.configure("DIAPI=" DEVLINX_API_PATH "\nOptions=1\n");
    const Output unstarted = run(served({"phones"}));
    EXPECT_EQ(unstarted.status, 12);  // the service's own code
    EXPECT_EQ(m_schema.errors(unstarted.document, "failure"), "") << unstarted.document;
    EXPECT_EQ(unstarted.document.at("error").at("step"), "initialize");
}

// The document after an update told of the drive as it was before the update.
TEST_F(ToolJson, UpdateEndsWithTheDocumentAFreshCheckPrints) {
    // The volume first, alone; then a phone the device table offers the maps application.
    for (const bool phone : {false, true}) {
        SCOPED_TRACE(phone ? "phone" : "volume");
        if (phone) {
            m_farm.create("p", {"--serial", "SN-J", "--model", "VX-335N", "--generation", "305"});
            write_outdated_drive(m_farm.memory("p", 'E'));
        }
        const std::vector<std::string> check =
            phone ? served({"check", "--drive-flags", "1"}) : on_volume("check");
        std::vector<std::string> update = check;
        update[0] = "update";
        if (phone) {
            update.push_back("--app");
        }
        Output updated = run(update);
        ASSERT_EQ(updated.status, 0) << updated.document.dump(2);
        Output checked = run(check);
        ASSERT_EQ(checked.status, 0) << checked.document.dump(2);
        EXPECT_EQ(updated.document.at("drive").at("name"), phone ? "E:" : m_volume.string());
        EXPECT_EQ(m_schema.errors(updated.document, "session"), "") << updated.document.dump(2);
        EXPECT_FALSE(updated.document.at("drive").at("maps_need_update").get<bool>());
        EXPECT_EQ(updated.document.at("map_data").at("installed_version"), "1.1.7.0");
        if (phone) {
            // The version alone, its build apart; installed by --app.
            const json& application = updated.document.at("maps_application");
            EXPECT_EQ(application.at("offered_version"), "1.4.2.0");
            EXPECT_EQ(application.at("installed_version"), "1.4.2.0");
            EXPECT_EQ(application.at("offered_build"),
                      (json{{"year", 11}, {"week", 5}, {"build", 7}}));
        }
        // What must differ: which command ran and the calls it made. What may:
        // free space, which others change on the temporary folder's disk and
        // the phone's installer changes behind a reading that stands a second.
        for (const char* differs : {"command", "steps"}) {
            EXPECT_NE(updated.document.at(differs), checked.document.at(differs));
            updated.document.erase(differs);
            checked.document.erase(differs);
        }
        for (json* document : {&updated.document, &checked.document}) {
            for (json& owner : document->at("phones")) {
                for (json& drive : owner.at("drives")) {
                    drive.erase("free_bytes");
                }
            }
        }
        EXPECT_EQ(updated.document, checked.document) << updated.document.dump(2) << "\n"
                                                      << checked.document.dump(2);
    }
}

// Ctrl-C during a JSON update: a line says so, and the document still comes,
// naming the cancelled step.
TEST_F(ToolJson, AnInterruptedUpdateSaysSoInALineAndEndsWithItsDocument) {
    world().served().server().faults().add(mapserver::parse_fault(
        "*/R" + std::to_string(world().world.regions[1].idid) + ".zip=hold,times:1"));
    std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" 2>&1", ATLASYNC_TOOL_PATH};
    const std::vector<std::string> update = on_volume("update");
    args.insert(args.end(), update.begin(), update.end());
    ChildProcess tool("/bin/sh", args);
    std::string line;
    do {
        line = tool.read_line();
    } while (!line.empty() && (line.find("\"MSG_DOWNLOAD_PROGRESS\"") == std::string::npos ||
                               line.find("\"PACKAGE_STARTED\"") == std::string::npos));
    ASSERT_FALSE(line.empty()) << "the update ended before its download started";
    tool.kill(SIGINT);
    // The held archive goes on once the cancel reached the download.
    std::vector<json> lines;
    for (line = tool.read_line(); !line.empty() && line != "{"; line = tool.read_line()) {
        lines.push_back(json::parse(line));
        if (lines.back().at("event") == "interrupted") {
            world().served().server().faults().release_held();
        }
    }
    const json document = json::parse(line + tool.read_all());
    EXPECT_EQ(tool.wait(), 2);
    const auto interrupted = std::find_if(lines.begin(), lines.end(), [](const json& each) {
        return each.at("event") == "interrupted";
    });
    ASSERT_NE(interrupted, lines.end());
    EXPECT_EQ(m_schema.errors(*interrupted, "interrupted_line"), "");
    EXPECT_EQ(m_schema.errors(document, "session"), "") << document.dump(2);
    EXPECT_EQ(document.at("error").at("step"), "download");
    EXPECT_EQ(document.at("error").at("text"), "Action was cancelled by the user (2).");
}

}  // namespace
}  // namespace atlasync::testing
