// Plans of converters: the CSV reader, the peers that name rows, and the checks made before
// the first unit, each listing every problem with its line and key.
#include "config/plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace comsetup::config;

namespace {

TEST(Plan, CsvRecordsFieldsAndLines) {
    struct Row {
        const char* text;
        std::vector<std::vector<std::string>> fields;
        std::vector<int> lines;
        const char* error = nullptr;
    };
    const Row rows[] = {
        {"a,b\r\n1,2\r\n", {{"a", "b"}, {"1", "2"}}, {1, 2}},
        {"a,b\n1,2", {{"a", "b"}, {"1", "2"}}, {1, 2}},       // LF, no last line end
        {"\xEF\xBB\xBFip\n\n1\n\n", {{"ip"}, {"1"}}, {1, 3}}, // BOM, blank lines skipped
        {"a,b\n\"x, \"\"y\"\"\",\n", {{"a", "b"}, {"x, \"y\"", ""}}, {1, 2}},
        {"a\n\"two\r\nlines\"\nnext\n", {{"a"}, {"two\r\nlines"}, {"next"}}, {1, 2, 4}},
        {"a,b\n,\n", {{"a", "b"}, {"", ""}}, {1, 2}},
        {"a\n\"open\n", {}, {}, "p.csv line 2: a quoted field is not closed"},
        {"a\nx\"y\n", {}, {}, "p.csv line 2: a quote inside an unquoted field"},
        {"a\n\"x\"y\n", {}, {}, "p.csv line 2: text after a quoted field's closing quote"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        if (r.error != nullptr) {
            try {
                ReadCsv(r.text, "p.csv");
                ADD_FAILURE() << "accepted";
            } catch (const ValueError& error) {
                EXPECT_NE(std::string(error.what()).find(r.error), std::string::npos)
                    << error.what();
            }
            continue;
        }
        const auto records = ReadCsv(r.text, "p.csv");
        std::vector<std::vector<std::string>> fields;
        std::vector<int> lines;
        for (const auto& record : records) {
            fields.push_back(record.fields);
            lines.push_back(record.line);
        }
        EXPECT_EQ(fields, r.fields);
        EXPECT_EQ(lines, r.lines);
    }
}

// Peers taken from other rows, with the port their row listens on unless the row names its
// own; values the plan leaves out from the base setup.
TEST(Plan, PeersNameTheirRowsAndTheBaseFillsTheRest) {
    struct Row {
        const char* text;
        std::vector<std::string> peers; // each row's peer and remote port after reading
    };
    const Row rows[] = {
        // Pairs two by two within a run of pair rows.
        {"ip,mode,peer\n"
         "10.0.0.1,point-to-point,pair\n10.0.0.2,point-to-point,pair\n"
         "10.0.0.3,point-to-point,pair\n10.0.0.4,point-to-point,pair\n",
         {"10.0.0.2:10005", "10.0.0.1:10005", "10.0.0.4:10005", "10.0.0.3:10005"}},
        // A pair sends to its partner's local port; a remote_port of the row's own wins.
        {"ip,mode,peer,local_port,remote_port\n"
         "10.0.0.1,point-to-point,pair,10001,\n10.0.0.2,point-to-point,pair,10002,\n"
         "10.0.0.3,point-to-point,pair,,4000\n10.0.0.4,point-to-point,pair,10004,\n",
         {"10.0.0.2:10002", "10.0.0.1:10001", "10.0.0.4:4000", "10.0.0.3:10005"}},
        // A run of multipoint rows is one group; a remote-com row ends it. Slaves send to
        // their master's local port.
        {"ip,mode,master,peer,local_port\n"
         "10.0.0.5,point-to-multipoint,,master,\n10.0.0.1,point-to-multipoint,true,,10002\n"
         "10.0.0.6,point-to-multipoint,no,MASTER,\n10.0.0.9,remote-com,,,\n"
         "10.0.0.2,point-to-multipoint,yes,,\n10.0.0.7,point-to-multipoint,,master,\n",
         {"10.0.0.1:10002", "192.168.1.201:10009", "10.0.0.1:10002", "192.168.1.201:10009",
          "192.168.1.201:10009", "10.0.0.2:10005"}},
        // Named groups may sit side by side and interleave.
        {"ip,mode,master,peer,group\n"
         "10.0.0.1,point-to-multipoint,true,,a\n10.0.0.2,point-to-multipoint,true,,b\n"
         "10.0.0.3,point-to-multipoint,,master,b\n10.0.0.4,point-to-multipoint,,master,a\n",
         {"192.168.1.201:10009", "192.168.1.201:10009", "10.0.0.2:10005", "10.0.0.1:10005"}},
        // A written address keeps the row's or the base's remote port.
        {"ip,mode,peer\n10.0.0.1,point-to-point,10.0.0.50\n", {"10.0.0.50:10009"}},
        {"ip,mode,peer,remote_port\n10.0.0.1,point-to-point,10.0.0.50,10003\n",
         {"10.0.0.50:10003"}},
        // Columns without a name, as spreadsheets save them, hold nothing.
        {"ip,,peer,\n10.0.0.1,,10.0.0.60, \n", {"10.0.0.60:10009"}},
    };
    SetupProfile base;
    base.baud = 19200;
    base.localPort = 10005;
    base.remotePort = 10009;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        try {
            const Plan plan = ParsePlan(r.text, "p.csv", base);
            std::vector<std::string> peers;
            for (const auto& row : plan.rows) {
                peers.push_back(FormatIpv4(row.setup.peer) + ":" +
                                std::to_string(row.setup.remotePort));
                EXPECT_EQ(row.setup.baud, 19200);
            }
            EXPECT_EQ(peers, r.peers);
        } catch (const ValueError& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

// Every problem of a plan is listed at once, in the order of the file.
TEST(Plan, ProblemsAreAllListedWithLineAndKey) {
    struct Row {
        std::string text;
        std::vector<std::string> problems;
    };
    const Row rows[] = {
        {"ip,ipp,ip\n1.2.3.4,5,6\n",
         {"p.csv line 1, header: unknown key \"ipp\"; accepted keys: master, group, mode, ip,",
          "p.csv line 1, header: the key ip is given twice"}},
        {"ip,port\n1.2.3.4,COM2\n",
         {"p.csv line 1, header: port is not a plan key; every converter of a plan is set up on "
          "the one port the sequence is given"}},
        {"ip,mask\n10.0.0.1\n10.0.0.2,255.0.255.0\n10.0.0.300,255.255.255.0\n",
         {"p.csv line 2, 1 fields where the header names 2",
          "p.csv line 3, mask: \"255.0.255.0\" is refused.", "p.csv line 4, ip: \"10.0.0.300\""}},
        {"ip,mode,peer\n10.0.0.1,point-to-point,pair\n10.0.0.2,remote-com,\n"
         "10.0.0.3,point-to-point,pair\n10.0.0.4,point-to-point,pair\n"
         "10.0.0.5,point-to-point,pair\n",
         {"p.csv line 2, peer: pair has no partner", "p.csv line 6, peer: pair has no partner"}},
        {"ip,mode,peer\n10.0.0.1,point-to-point,\n10.0.0.2,point-to-multipoint,\n"
         "10.0.0.3,remote-com,pair\n10.0.0.4,remote-com,master\n",
         {"p.csv line 2, peer: point-to-point needs a peer here",
          "p.csv line 3, peer: point-to-multipoint needs a peer here",
          "p.csv line 4, peer: pair has no partner",
          "p.csv line 4, peer: pair is for point-to-point rows, not remote-com",
          "p.csv line 5, peer: master is for the slave rows of point-to-multipoint, not for a "
          "remote-com row"}},
        {"ip,mode,master,peer\n10.0.0.1,point-to-multipoint,,master\n"
         "10.0.0.2,point-to-multipoint,false,10.0.0.1\n10.0.0.3,remote-com,,\n"
         "10.0.0.4,point-to-multipoint,true,\n10.0.0.5,point-to-multipoint,true,\n"
         "10.0.0.6,remote-com,true,\n",
         {"p.csv line 2, peer: master, but the row's group has no master row",
          "p.csv line 6, master: a second master row in one group (the first is on line 5)",
          "p.csv line 7, master: the master side exists only in the point-to-multipoint mode"}},
        {"ip,gateway\n10.0.0.1,10.0.1.1\n10.0.0.2,10.0.0.254\n10.0.0.1,none\n",
         {"p.csv line 2, gateway: 10.0.1.1 is outside the converter's subnet "
          "(10.0.0.0/255.255.255.0)",
          "p.csv line 4, ip: 10.0.0.1 is already the address on line 2"}},
        {"ip,master\n10.0.0.1,maybe\n", {"p.csv line 2, master: \"maybe\" is not accepted"}},
        {"ip,\n10.0.0.1,x\n", {"p.csv line 2, column 2: \"x\" under no key"}},
        {"ip,mask\n,\n1.2.3.4\n", {"p.csv line 3, 1 fields where the header names 2"}},
        {"ip\n", {"p.csv: no converter"}},
        // What it saw: a semicolon-separated file gets the hint, raw bytes are escaped, and
        // neither a binary file nor UTF-16 text is read as a header.
        {"ip;mask\n1.2.3.4;255.0.0.0\n",
         {"p.csv line 1, header: unknown key \"ip;mask\" (the separator of a plan is a comma, not "
          "a semicolon: save the plan as CSV with commas); accepted keys: master,"}},
        {"ip,m\xffx\xc3\n1.2.3.4,1\n", {"p.csv line 1, header: unknown key \"m\\xffx\\xc3\"; "}},
        {std::string("\x7f"
                     "ELF\x02\x01\x00\x00ip\n",
                     11),
         {"p.csv: not a text file (a NUL byte at offset 6); a plan is CSV text"}},
        {std::string("\xff\xfei\0p\0\n\0", 8),
         {"p.csv: not a text file the plan reader takes (UTF-16); save the plan as CSV in UTF-8"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        try {
            ParsePlan(r.text, "p.csv", SetupProfile{});
            ADD_FAILURE() << "accepted";
        } catch (const ValueError& error) {
            std::vector<std::string> lines;
            std::istringstream text(error.what());
            for (std::string line; std::getline(text, line);) {
                lines.push_back(line);
            }
            ASSERT_EQ(lines.size(), r.problems.size()) << error.what();
            for (std::size_t i = 0; i < lines.size(); ++i) {
                EXPECT_EQ(lines[i].rfind(r.problems[i], 0), 0u) << lines[i];
            }
        }
    }
}

// The keys a refused header lists are each taken in a header, and every key of a setup file
// but the port is among them.
TEST(Plan, AcceptedKeysAreTheKeysAHeaderTakes) {
    std::string listed;
    try {
        ParsePlan("ipp\n1\n", "p.csv", SetupProfile{});
    } catch (const ValueError& error) {
        const std::string text = error.what();
        const auto at = text.find("accepted keys: ");
        ASSERT_NE(at, std::string::npos) << text;
        listed = text.substr(at + 15);
    }
    std::vector<std::string> keys;
    std::istringstream list(listed);
    for (std::string key; std::getline(list, key, ',');) {
        keys.push_back(key.substr(key.starts_with(" ") ? 1 : 0));
    }
    for (const auto& field : SetupFields()) {
        if (std::string(field.key) != "port") {
            EXPECT_NE(std::find(keys.begin(), keys.end(), field.key), keys.end()) << field.key;
        }
    }
    for (const std::string& key : keys) {
        const std::string text = key == "ip" ? "ip\n10.0.0.1\n" : "ip," + key + "\n10.0.0.1,\n";
        try {
            ParsePlan(text, "p.csv", SetupProfile{});
        } catch (const ValueError& error) {
            EXPECT_EQ(std::string(error.what()).find("header"), std::string::npos)
                << key << ": " << error.what();
        }
    }
}

// An empty gateway cell takes the base setup's gateway; none says the row has none. The file
// name in a message is escaped like a device path.
TEST(Plan, EmptyGatewayCellTakesTheBaseGateway) {
    SetupProfile base;
    base.ip = {10, 0, 0, 9};
    base.gateway = Ipv4{10, 0, 0, 254};
    const Plan plan =
        ParsePlan("ip,gateway\n10.0.0.1,\n10.0.0.2,none\n10.0.0.3,10.0.0.253\n", "p.csv", base);
    ASSERT_EQ(plan.rows.size(), 3u);
    EXPECT_EQ(plan.rows[0].setup.gateway, base.gateway);
    EXPECT_EQ(plan.rows[1].setup.gateway, std::nullopt);
    EXPECT_EQ(plan.rows[2].setup.gateway, (Ipv4{10, 0, 0, 253}));
    try {
        ParsePlan("ip\n", "p\x1b[2J.csv", base);
        ADD_FAILURE() << "accepted";
    } catch (const ValueError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("p\\x1b[2J.csv: no converter", 0), 0u)
            << error.what();
    }
}

TEST(Plan, IdIsTheFileNameNotItsFolderOrText) {
    EXPECT_EQ(PlanId("/a/plan.csv"), PlanId("b/plan.csv"));
    EXPECT_EQ(PlanId("plan.csv"), "plan.csv");
    EXPECT_NE(PlanId("plan.csv"), PlanId("other.csv"));
    EXPECT_EQ(ParsePlan("ip\n1.2.3.4\n", "x/plan.csv", {}).id,
              ParsePlan("ip\n1.2.3.5\n", "plan.csv", {}).id);
}

} // namespace
