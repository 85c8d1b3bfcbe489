// Plans of converters: the CSV reader, the peers that name rows, and the checks made before
// the first unit, each listing every problem with its line and key.
#include "config/plan.h"

#include <gtest/gtest.h>

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
        const char* text;
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

TEST(Plan, IdIsTheFileNameNotItsFolderOrText) {
    EXPECT_EQ(PlanId("/a/plan.csv"), PlanId("b/plan.csv"));
    EXPECT_EQ(PlanId("plan.csv"), "plan.csv");
    EXPECT_NE(PlanId("plan.csv"), PlanId("other.csv"));
    EXPECT_EQ(ParsePlan("ip\n1.2.3.4\n", "x/plan.csv", {}).id,
              ParsePlan("ip\n1.2.3.5\n", "plan.csv", {}).id);
}

} // namespace
