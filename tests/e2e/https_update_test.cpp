// atlasync-tool update from a map server that speaks https only, with a
// certificate authority made for the test.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "mapserver/drive/drive_writer.h"
#include "mapserver/map_server.h"
#include "service/content/map_settings.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;
namespace fs = std::filesystem;

class HttpsUpdate : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        serve();
        // The tool traces its errors beside it.
        write_file(m_work.path() / "msapi.ini",
                   "tracelevel=1\nlogfile=" + (m_work.path() / "trace.log").string() + "\n");
        openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                 "-keyout", tls("ca.key"), "-out", tls("ca.pem"), "-days", "2", "-subj",
                 "/CN=Atlasync test authority", "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign"});
    }

    // A fresh volume with an outdated maps drive.
    void make_volume(const std::string& name) {
        m_volume = write_old_drive(m_work.path() / name, {1});
    }

    std::string tls(const std::string& name) const { return (m_work.path() / name).string(); }

    void openssl(const std::vector<std::string>& args) {
        std::string output;
        ASSERT_EQ(run_program(OPENSSL_PATH, args, &output), 0) << output;
    }

    // A certificate for the names (subjectAltName entries) signed by the test
    // authority; answers the name of its PEM file, the key beside it.
    std::string certificate(const std::string& name, const std::string& altNames) {
        write_file(tls(name + ".ext"), "subjectAltName=" + altNames + "\n");
        openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
                 tls(name + ".key"), "-out", tls(name + ".csr"), "-subj", "/CN=" + name});
        openssl({"x509", "-req", "-in", tls(name + ".csr"), "-CA", tls("ca.pem"), "-CAkey",
                 tls("ca.key"), "-set_serial", "2", "-days", "2", "-extfile", tls(name + ".ext"),
                 "-out", tls(name + ".pem")});
        return name;
    }

    // The world's content served over https with the named certificate.
    std::unique_ptr<mapserver::MapServer> serve_tls(const std::string& name) {
        mapserver::ServerOptions options;
        options.content = world().content();
        options.log = [](const std::string&) {};
        options.certificate = tls(name + ".pem");
        options.key = tls(name + ".key");
        auto server = std::make_unique<mapserver::MapServer>(options);
        server->start();
        return server;
    }

    int update(const std::vector<std::string>& extra, std::string& output) {
        std::vector<std::string> args = {
            "-c",       "exec \"$0\" \"$@\" 2>&1", ATLASYNC_TOOL_PATH, "update",
            "--volume", m_volume.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_program("/bin/sh", args, &output, m_work.path());
    }

    std::string trace() const {
        std::ifstream in(m_work.path() / "trace.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    PhoneFarm m_farm;  // no phones: the volume is the only drive
    TempDir m_work;
    fs::path m_volume;
};

TEST_F(HttpsUpdate, AVerifiedServerUpdatesTheVolumeAndAnyOtherFailsWithItsCauseChangingNothing) {
    const struct {
        const char* certifiedFor;  // subjectAltName of the server's certificate
        bool trustTheAuthority;    // --ca-file with the test authority
        int status;
        const wchar_t* versionAfter;
        const char* traced;  // part of libcurl's reason in the trace; empty: none expected
    } cases[] = {
        {"DNS:localhost,IP:127.0.0.1", true, 0, L"1.1.7.0", ""},
        {"DNS:maps.example.org", true, 9, L"1.1.6.0", "no alternative certificate subject name"},
        // The system's store knows nothing of the test authority.
        {"IP:127.0.0.1", false, 9, L"1.1.6.0", "SSL certificate problem"},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.certifiedFor);
        const std::string name = "server" + std::to_string(++index);
        make_volume(name + "-volume");
        const auto server = serve_tls(certificate(name, c.certifiedFor));
        std::vector<std::string> extra = {"--server-root",
                                          "https://127.0.0.1:" + std::to_string(server->port())};
        if (c.trustTheAuthority) {
            extra.insert(extra.end(), {"--ca-file", tls("ca.pem")});
        }
        const auto before = snapshot(m_volume);
        std::string output;
        EXPECT_EQ(update(extra, output), c.status) << output;
        EXPECT_EQ(map_version_of(m_volume), c.versionAfter);
        if (*c.traced != '\0') {
            EXPECT_EQ(snapshot(m_volume), before);
            EXPECT_NE(trace().find(c.traced), std::string::npos) << trace();
        }
    }
}

TEST(HttpsOptions, AServerRootOrCaFileThatCannotBeUsedIsRefusedBeforeAnythingIsAsked) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"check", "--server-root", "ftp://maps.example.org"}, "--server-root: the scheme must be"},
        {{"check", "--server-root", "http://maps.example.org:99999"}, "--server-root: the port"},
        {{"update", "--server-root", "300.0.0.1:8080"}, "--server-root: \"300.0.0.1\" is not"},
        {{"check", "--ca-file", "/nonexistent/ca.pem"}, "--ca-file: '/nonexistent/ca.pem' is not"},
        {{"drive", ".", "--ca-file", "/"}, "--ca-file: '/' is not a readable file"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" 2>&1", ATLASYNC_TOOL_PATH};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string output;
        EXPECT_NE(run_program("/bin/sh", args, &output), 0) << output;
        EXPECT_NE(output.find(c.message), std::string::npos) << output;
        EXPECT_EQ(output.find("initialize"), std::string::npos) << output;
    }
}

}  // namespace
}  // namespace atlasync::testing
