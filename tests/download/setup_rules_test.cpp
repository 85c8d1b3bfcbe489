// Subnet mask acceptance, directed broadcast and the operating-mode mapping.
#include "download/setup_rules.h"

#include <gtest/gtest.h>

namespace comsetup {
namespace {

TEST(SubnetMaskRules, EachAllowedByteValuePassesAndOthersFail) {
    for (int v : {255, 254, 252, 248, 240, 224, 192, 128, 0}) {
        EXPECT_TRUE(IsAllowedMaskByte(v)) << v;
    }
    for (int v : {1, 7, 127, 129, 253, 250, 64}) {
        EXPECT_FALSE(IsAllowedMaskByte(v)) << v;
    }
    // Only the low 8 bits count: 511 is seen as 255, 300 as 44.
    EXPECT_TRUE(IsAllowedMaskByte(511));
    EXPECT_FALSE(IsAllowedMaskByte(300));
}

TEST(SubnetMaskRules, ContiguityAcrossBytes) {
    EXPECT_TRUE(IsContiguousMask({255, 255, 255, 0}));
    EXPECT_TRUE(IsContiguousMask({255, 255, 254, 0}));
    EXPECT_TRUE(IsContiguousMask({255, 255, 255, 255}));
    EXPECT_TRUE(IsContiguousMask({0, 0, 0, 0}));
    EXPECT_TRUE(IsContiguousMask({128, 0, 0, 0}));
    EXPECT_FALSE(IsContiguousMask({255, 0, 255, 0}));
    EXPECT_FALSE(IsContiguousMask({0, 255, 255, 255}));
    EXPECT_FALSE(IsContiguousMask({255, 254, 255, 0}));
    EXPECT_FALSE(IsContiguousMask({255, 255, 255, 1}));
}

TEST(SubnetMaskRules, CheckGivesTheMessageForByteAndContiguityFaults) {
    const std::string message =
        "Error in SubNet Mask! The only values avaible are 255,254,252,248,240,224,192,128,0";
    EXPECT_EQ(CheckSubnetMask({255, 255, 255, 0}), std::nullopt);
    EXPECT_EQ(CheckSubnetMask({255, 255, 255, 252}), std::nullopt);
    EXPECT_EQ(CheckSubnetMask({255, 255, 255, 1}), message);
    // Every byte allowed, the ones not contiguous: the message says what is wrong.
    EXPECT_EQ(CheckSubnetMask({255, 0, 255, 0}), std::string(kNonContiguousMaskMessage));
    EXPECT_EQ(CheckSubnetMask({300, 255, 255, 0}), message);
}

TEST(FieldRules, WholeNumbersWithinTheirRangeOnly) {
    struct Case {
        const char* text;
        int min, max;
        std::optional<int> value;
    };
    for (const Case& c :
         {Case{"0", 0, 255, 0}, Case{"255", 0, 255, 255}, Case{"007", 0, 255, 7},
          Case{"256", 0, 255, std::nullopt}, Case{"300", 0, 255, std::nullopt},
          Case{"", 0, 255, std::nullopt}, Case{"-1", 0, 255, std::nullopt},
          Case{"2.6", 0, 255, std::nullopt}, Case{"1,5", 0, 255, std::nullopt},
          Case{" 1", 0, 255, std::nullopt}, Case{"1E2", 0, 255, std::nullopt},
          Case{"65535", 1, 65535, 65535}, Case{"0", 1, 65535, std::nullopt},
          Case{"65536", 1, 65535, std::nullopt}, Case{"1234567890", 1, 65535, std::nullopt},
          Case{"99999999999", 0, 2147483647, std::nullopt}}) {
        EXPECT_EQ(WholeNumberIn(c.text, c.min, c.max), c.value) << c.text;
    }
    EXPECT_EQ(FieldRangeMessage("IP address byte 1", "300", 0, 255),
              "IP address byte 1 must be 0 to 255");
    for (const char* text : {"400.1", "", "-1", "4e2"}) {
        EXPECT_EQ(FieldRangeMessage("Local port", text, 1, 65535),
                  "Local port must be a whole number, 1 to 65535")
            << text;
    }
    for (const char* baud : {"9600", "14400", "0300", "50", "921600"}) {
        EXPECT_TRUE(IsBaudRateText(baud)) << baud;
    }
    for (const char* baud : {"", "96OO", "9600 ", "-9600", "9.6k", "7", "49", "921601"}) {
        EXPECT_FALSE(IsBaudRateText(baud)) << baud;
    }
}

TEST(DirectedBroadcast, SetsEveryHostBitOfTheMask) {
    EXPECT_EQ(DirectedBroadcast({192, 168, 1, 200}, {255, 255, 255, 0}),
              (AddressBytes{192, 168, 1, 255}));
    EXPECT_EQ(DirectedBroadcast({10, 0, 0, 5}, {255, 0, 0, 0}), (AddressBytes{10, 255, 255, 255}));
    EXPECT_EQ(DirectedBroadcast({172, 16, 5, 9}, {255, 255, 252, 0}),
              (AddressBytes{172, 16, 7, 255}));
    EXPECT_EQ(DirectedBroadcast({192, 168, 1, 5}, {255, 255, 255, 252}),
              (AddressBytes{192, 168, 1, 7}));
    EXPECT_EQ(DirectedBroadcast({192, 168, 1, 5}, {255, 255, 255, 255}),
              (AddressBytes{192, 168, 1, 5}));
}

TEST(OperatingModeMapping, TunnelModesEnableTheTunnelAndRemoteComPortLeavesIt) {
    SetupValues remote;
    ApplyOperatingMode(remote, OperatingMode::RemoteComPort, false);
    EXPECT_FALSE(remote.tunnel);
    EXPECT_FALSE(remote.broadcast);
    EXPECT_EQ(remote.remote, (AddressBytes{192, 168, 1, 200}));

    // The wizard only ticks the box; a box already ticked stays ticked.
    SetupValues alreadyTicked;
    alreadyTicked.tunnel = true;
    ApplyOperatingMode(alreadyTicked, OperatingMode::RemoteComPort, false);
    EXPECT_TRUE(alreadyTicked.tunnel);

    for (OperatingMode mode :
         {OperatingMode::TunnelPointToPoint, OperatingMode::TunnelPointToMultipoint}) {
        SetupValues v;
        v.remote = {10, 1, 2, 3};
        ApplyOperatingMode(v, mode, false);
        EXPECT_TRUE(v.tunnel);
        EXPECT_FALSE(v.broadcast);
        EXPECT_EQ(v.remote, (AddressBytes{10, 1, 2, 3}));
    }
    EXPECT_TRUE(ModeOffersMasterSide(OperatingMode::TunnelPointToMultipoint));
    EXPECT_FALSE(ModeOffersMasterSide(OperatingMode::TunnelPointToPoint));
}

TEST(OperatingModeMapping, MasterSideAnswersBroadcastToItsOwnNetwork) {
    SetupValues v;
    v.ip = {10, 0, 0, 5};
    v.mask = {255, 255, 0, 0};
    v.remote = {192, 168, 1, 201};
    ApplyOperatingMode(v, OperatingMode::TunnelPointToMultipoint, true);
    EXPECT_TRUE(v.tunnel);
    EXPECT_TRUE(v.broadcast);
    EXPECT_EQ(v.remote, (AddressBytes{10, 0, 255, 255}));

    SetupValues slash24;
    slash24.ip = {10, 0, 0, 5};
    ApplyOperatingMode(slash24, OperatingMode::TunnelPointToMultipoint, true);
    EXPECT_EQ(slash24.remote, (AddressBytes{10, 0, 0, 255}));
}

} // namespace
} // namespace comsetup
