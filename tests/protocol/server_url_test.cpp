// The server root a user gives, as the URL the service asks.

#include "service/protocol/server_url.h"

#include <gtest/gtest.h>

namespace MapsService {
namespace {

// An IP root became "http://mapdata.127.0.0.1:18080", and a URL root "http://mapdata.http://...".
TEST(ServerUrlOfRoot, NamesGetTheMapdataPrefixAddressesAndUrlsAreTheServerItself) {
    const struct {
        const char* root;
        const char* url;
    } cases[] = {
        {"atlasync-maps.net", "http://mapdata.atlasync-maps.net"},
        {"maps.example.org:8080", "http://mapdata.maps.example.org:8080"},
        {"127.0.0.1:18080", "http://127.0.0.1:18080"},
        {"10.0.0.7", "http://10.0.0.7"},
        {"[::1]:8080", "http://[::1]:8080"},
        {"[fe80::1:2]", "http://[fe80::1:2]"},
        {"localhost:8080", "http://localhost:8080"},
        {"LocalHost", "http://LocalHost"},
        {"http://127.0.0.1:18080", "http://127.0.0.1:18080"},
        {"https://maps.example.org", "https://maps.example.org"},
        {"HTTPS://maps.example.org:8443/atlas/", "https://maps.example.org:8443/atlas"},
        {"https://[::1]:8443/a/b", "https://[::1]:8443/a/b"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_EQ(server_url_of_root(c.root, why).value_or("refused: " + why), c.url) << c.root;
    }
}

TEST(ServerUrlOfRoot, ARootThatNamesNoServerIsRefusedWithItsReason) {
    const struct {
        const char* root;
        const char* reason;  // a part of the reason given
    } cases[] = {
        {"", "empty"},
        {"ftp://maps.example.org", "scheme must be http or https"},
        {"http://", "no host"},
        {"https://:8443", "no host"},
        {"http://user@maps.example.org", "'@'"},
        {"http://maps.example.org/pg?x=1", "'?'"},
        {"http://maps.example.org:0", "port must be a number from 1 to 65535"},
        {"http://maps.example.org:65536", "port must be a number"},
        {"localhost:", "port must be a number"},
        {"localhost:80x", "port must be a number"},
        {"300.1.1.1:80", "not an IPv4 address"},
        {"[::g]:80", "not an IPv6 address"},
        {"::1", "goes in brackets"},
        {"maps..example.org", "not a host name"},
        {"-maps.example.org", "not a host name"},
        {"maps.example.org/atlas", "without a path"},
        {"https://maps example.org", "' '"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(server_url_of_root(c.root, why).has_value()) << c.root;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.root << ": " << why;
    }
}

TEST(ParseServerUrl, TakesSchemeHostPortAndPathApart) {
    std::string why;
    const auto url = parse_server_url("https://[::1]:8443/maps//", why);
    ASSERT_TRUE(url) << why;
    EXPECT_EQ(url->scheme, "https");
    EXPECT_EQ(url->host, "[::1]");
    EXPECT_EQ(url->port, "8443");
    EXPECT_EQ(url->path, "/maps");
    EXPECT_TRUE(url->host_is_address());
    EXPECT_FALSE(parse_server_url("http://localhost", why)->host_is_address());
    EXPECT_FALSE(parse_server_url("mapdata.example.org", why));
}

}  // namespace
}  // namespace MapsService
