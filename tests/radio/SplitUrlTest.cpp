#include "radio/HttpDownload.h"

#include <gtest/gtest.h>

TEST(SplitUrl, SchemeInAnyCaseThenHostAndPath) {
    EXPECT_EQ(SplitUrl("http://host.example/a/b.m3u"), (UrlParts{false, "host.example", 80, "/a/b.m3u"}));
    EXPECT_EQ(SplitUrl("HtTp://host/x?y=1"), (UrlParts{false, "host", 80, "/x?y=1"}));
    EXPECT_EQ(SplitUrl("host/download/mp3.snd"), (UrlParts{false, "host", 80, "/download/mp3.snd"}));
    EXPECT_EQ(SplitUrl("http://host/"), (UrlParts{false, "host", 80, "/"}));
}

TEST(SplitUrl, WithoutSlashTheHostIsEmpty) {
    EXPECT_EQ(SplitUrl("http://host"), (UrlParts{false, "", 80, "host"}));
    EXPECT_EQ(SplitUrl(""), (UrlParts{false, "", 80, ""}));
}

TEST(SplitUrl, PortAfterTheHostIsThePort) {
    EXPECT_EQ(SplitUrl("http://host:8000/stream"), (UrlParts{false, "host", 8000, "/stream"}));
    EXPECT_EQ(SplitUrl("http://[::1]:8000/s"), (UrlParts{false, "[::1]", 8000, "/s"}));
    EXPECT_EQ(SplitUrl("http://[::1]/s"), (UrlParts{false, "[::1]", 80, "/s"}));
    // What is not a port stays part of the host, which then names no server.
    EXPECT_EQ(SplitUrl("http://host:99999/s"), (UrlParts{false, "host:99999", 80, "/s"}));
    EXPECT_EQ(SplitUrl("http://host:/s"), (UrlParts{false, "host:", 80, "/s"}));
    EXPECT_EQ(SplitUrl("http://::1/s"), (UrlParts{false, "::1", 80, "/s"}));
}

TEST(SplitUrl, HttpsUsesTlsOnPort443) {
    EXPECT_EQ(SplitUrl("HTTPS://host/a"), (UrlParts{true, "host", 443, "/a"}));
    EXPECT_EQ(SplitUrl("https://host:8443/a"), (UrlParts{true, "host", 8443, "/a"}));
    // Other schemes are not taken off: the host becomes "ftp:", which names no server.
    EXPECT_EQ(SplitUrl("ftp://host/a"), (UrlParts{false, "ftp:", 80, "//host/a"}));
}
