#include "radio/HttpDownload.h"

#include <gtest/gtest.h>

TEST(SplitUrlTest, SchemeInAnyCaseThenHostAndPath) {
    EXPECT_EQ(splitUrl("http://host.example/a/b.m3u"), (UrlParts{false, "host.example", 80, "/a/b.m3u"}));
    EXPECT_EQ(splitUrl("HtTp://host/x?y=1"), (UrlParts{false, "host", 80, "/x?y=1"}));
    EXPECT_EQ(splitUrl("host/download/mp3.snd"), (UrlParts{false, "host", 80, "/download/mp3.snd"}));
    EXPECT_EQ(splitUrl("http://host/"), (UrlParts{false, "host", 80, "/"}));
}

TEST(SplitUrlTest, WithoutSlashTheHostIsEmpty) {
    EXPECT_EQ(splitUrl("http://host"), (UrlParts{false, "", 80, "host"}));
    EXPECT_EQ(splitUrl(""), (UrlParts{false, "", 80, ""}));
}

TEST(SplitUrlTest, PortAfterTheHostIsThePort) {
    EXPECT_EQ(splitUrl("http://host:8000/stream"), (UrlParts{false, "host", 8000, "/stream"}));
    EXPECT_EQ(splitUrl("http://[::1]:8000/s"), (UrlParts{false, "[::1]", 8000, "/s"}));
    EXPECT_EQ(splitUrl("http://[::1]/s"), (UrlParts{false, "[::1]", 80, "/s"}));
    // What is not a port stays part of the host, which then names no server.
    EXPECT_EQ(splitUrl("http://host:99999/s"), (UrlParts{false, "host:99999", 80, "/s"}));
    EXPECT_EQ(splitUrl("http://host:/s"), (UrlParts{false, "host:", 80, "/s"}));
    EXPECT_EQ(splitUrl("http://::1/s"), (UrlParts{false, "::1", 80, "/s"}));
}

TEST(SplitUrlTest, HttpsUsesTlsOnPort443) {
    EXPECT_EQ(splitUrl("HTTPS://host/a"), (UrlParts{true, "host", 443, "/a"}));
    EXPECT_EQ(splitUrl("https://host:8443/a"), (UrlParts{true, "host", 8443, "/a"}));
    // Other schemes are not taken off: the host becomes "ftp:", which names no server.
    EXPECT_EQ(splitUrl("ftp://host/a"), (UrlParts{false, "ftp:", 80, "//host/a"}));
}
