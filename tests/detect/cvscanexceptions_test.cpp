#include "detect/cvscanexceptions.h"

#include <gtest/gtest.h>

#include "core/cvsensorsfile.h"
#include "detect/detectfixture.h"

namespace {

class ScanExceptions : public DetectTest {
protected:
    TLink& link(std::uint8_t kind, std::uint8_t hostKind, std::uint32_t base) {
        return *Links()[static_cast<std::size_t>(addLink(kind, hostKind, base))];
    }
    static TBoardIdentity Board(std::string maker, std::string product) {
        TBoardIdentity board;
        board.BoardManufacturer = std::move(maker);
        board.BoardProduct = std::move(product);
        return board;
    }
    // The addresses of a set that are open (not excluded), as a list.
    static std::vector<int> Open(const TScanExceptionSet& set) {
        std::vector<int> open;
        for (int a = 0; a < 256; ++a)
            if (!set.test(static_cast<std::size_t>(a))) open.push_back(a);
        return open;
    }
};

std::vector<int> Range(int first, int last) {
    std::vector<int> out;
    for (int a = first; a <= last; ++a) out.push_back(a);
    return out;
}

TEST_F(ScanExceptions, HostKindRules) {
    EXPECT_EQ(Open(GetScanExceptions(link(LinkKinds::SMBus, HostKinds::IntelMCH, 0), nullptr)), Range(0x50, 0x53));
    EXPECT_EQ(Open(GetScanExceptions(link(LinkKinds::SMBus, HostKinds::Intel, 0x400), nullptr)), Range(0, 255));
    const TBoardIdentity board = Board("Intel Corporation", "DP67BG");  // a row that closes more
    const TScanExceptionSet mch = GetScanExceptions(link(LinkKinds::SMBus, HostKinds::IntelMCH, 0), &board);
    EXPECT_EQ(Open(mch), Range(0x50, 0x53));
}

TEST_F(ScanExceptions, GraphicsI2CWithAndWithoutNVAPI) {
    TLink& card = *Links().emplace_back(std::make_unique<TLink>(0, LinkKinds::SMBus, HostKinds::I2CNVidia, 0x50, 0));
    EXPECT_EQ(Open(GetScanExceptions(card, nullptr)), (std::vector<int>{0x2D, 0x2E, 0x48, 0x49, 0x4C}));
    card.AttachNVAPIGpu(0, 1);
    ASSERT_TRUE(card.UsesNVAPI());
    std::vector<int> open = Range(0x20, 0x50);
    open.push_back(0x70);
    EXPECT_EQ(Open(GetScanExceptions(card, nullptr)), open);
}

// Board rows: maker, product, host kind, base -> addresses closed and open.
TEST_F(ScanExceptions, BoardRows) {
    struct Case {
        std::string maker, product;
        std::uint8_t hostKind;
        std::uint32_t base;
        std::vector<int> closed, open;
    };
    const std::string asus = "ASUSTeK Computer INC.";
    const std::string intel = "Intel Corporation";
    const std::string nf2 = std::string(NForce2WebMaker);
    const std::vector<Case> cases = {
        {"DFI Corp,LTD", "LP UT NF4 Expert", HostKinds::nVidia, 0x400, {0x2E, 0x57}, {0x2D, 0x2F, 0x50}},
        {"DFI Inc.", "LP NF4 Series", HostKinds::Uli, 0x400, {0x2E, 0x57}, {0x56}},
        {"DFI Inc.", "LP NF4 Series", HostKinds::I2CNVidia, 0x400, {}, {0x2D, 0x2E}},  // not a chipset host
        {"DFI Inc.", "XLP NF4", HostKinds::Intel, 0x400, {}, {0x2E, 0x57}},
        {intel, "DH87RL", HostKinds::Intel, 0x400, {0x00, 0x11, 0x54, 0xFF}, {0x10, 0x44, 0x50, 0x53}},
        {intel, "DH87RL", HostKinds::AMD, 0x400, {}, {0x00, 0x11}},  // Intel hosts only
        {intel, "DP67BG", HostKinds::Intel, 0, {0x30, 0x4B}, {0x31, 0x4A}},
        {intel, "DX58SO", HostKinds::Intel, 0, {0x2D, 0x58, 0x00}, {0x2E, 0x50, 0x57}},
        {intel, "DX58OG", HostKinds::Intel, 0, {0x00, 0x0C}, {0x0D}},
        {intel, "D5400XS", HostKinds::Intel, 0, {0x40, 0x4F}, {0x3F, 0x50}},
        {intel, "DX38BT", HostKinds::Intel, 0, {0x4C, 0x4F}, {0x4D, 0x4E}},
        {asus, "Rampage Formula", HostKinds::Intel, 0, {0x2F}, {0x2E}},
        {asus, "P7F-M", HostKinds::Intel, 0, {0x18, 0x1A}, {0x19}},
        {"Dell Inc.", "0G841G", HostKinds::Intel, 0, {0x18, 0x1B, 0x30, 0x33}, {0x1C, 0x34}},
        {intel, "DP55SB", HostKinds::Intel, 0, {0x0C}, {0x0B, 0x0D}},
        {"Hewlett-Packard", "0A1Ch", HostKinds::nForce2, 0x4000, {0x00, 0x4F, 0x73, 0x77}, {0x50, 0x74}},
        {"Hewlett-Packard", "0A1Ch", HostKinds::nForce2, 0x4040, {0x00, 0x50, 0xFF}, {}},
        {"Hewlett-Packard", "0A1Ch", HostKinds::nForce2, 0x4080, {}, {0x00, 0x50}},  // another base
        {"Hewlett-Packard", "0A1Ch", HostKinds::Intel, 0x4040, {}, {0x00, 0x50}},    // another host kind
        {asus, "P5N-T DELUXE", HostKinds::nForce2, 0x1C80, {0x1D, 0x21, 0x5F, 0x73}, {0x1E, 0x20, 0x60}},
        {asus, "M2N-E", HostKinds::nForce2, 0x1C40, {0x2D, 0x2F}, {0x2E, 0x60}},
        {asus, "P5N32-E SLI", HostKinds::nForce2, 0x1C80, {0x1E, 0x20, 0x2C, 0x2F}, {0x1F, 0x2D, 0x2E}},
        {asus, "P5N-D", HostKinds::nForce2, 0x1C80, {0x1D, 0x1F, 0x21, 0x77}, {0x1E, 0x20, 0x78}},
        {asus, "P5NT WS", HostKinds::nForce2, 0x1C80, {0x5F}, {0x5E}},
        {asus, "M2N32-SLI DELUXE", HostKinds::nForce2, 0x1C00, {0x1B, 0x2B, 0x32, 0x33, 0x3A, 0x49}, {0x34, 0x4F}},
        {asus, "StrikerExtreme", HostKinds::nForce2, 0x1C00, {0x00, 0x4F}, {0x50}},
        {asus, "StrikerExtreme", HostKinds::nForce2, 0x1C80, {0x00, 0x20, 0xFF}, {0x1F, 0x2D, 0x2E}},
        {"Compal", "08A0", HostKinds::nForce2, 0x2000, {0x00, 0xFF}, {}},
        {"Dell Inc.", "0UY253", HostKinds::nForce2, 0x5000, {0x2E}, {0x2F}},
        {"Dell Inc.", "0YF432", HostKinds::nForce2, 0x5000, {0x00, 0x4F}, {0x50}},
        {"EVGA", "NFORCE 680i LT SLI", HostKinds::nForce2, 0xF400, {0x14, 0x4F}, {0x13, 0x50}},
        {"First International Computer, Inc.", "AU31", HostKinds::nForce2, 0x5100, {0x00, 0xFF}, {}},
        {"FOXCONN", "Destroyer", HostKinds::nForce2, 0x1C00, {0x00, 0x58, 0xFF}, {0x50, 0x57, 0x69}},
        {"FOXCONN", "Destroyer", HostKinds::nForce2, 0x1C80, {0x21, 0x30}, {0x22, 0x2E, 0x2F, 0x46, 0x50, 0x69}},
        {nf2, "NF7-S/NF7,NF7-V (nVidia-nForce2)", HostKinds::nForce2, 0x5000, {0x30, 0x32, 0x4E}, {0x31}},
        {nf2, "AN8 Series(NF-CK804)", HostKinds::nForce2, 0x1C40, {0x4F}, {0x4E}},
        {"Quanta", "30B7", HostKinds::nForce2, 0x3000, {0x00, 0x55}, {0x56}},
        {"Supermicro", "H8DCE", HostKinds::nForce2, 0x4C00, {0x32, 0x33, 0x36, 0x37}, {0x34, 0x35}},
        {"TYAN Computer Corporation", "S2927", HostKinds::nForce2, 0x2E00, {0x00, 0xFF}, {}},
        {"MICRO-STAR INTERNATIONAL CO.,LTD", "MS-7345", HostKinds::VIA, 0, {0x28, 0x46}, {0x29}},
        {"MSI", "MS-7280", HostKinds::I2CNVidia, 0, {0x10, 0x4B, 0x4D, 0x7F}, {0x4C}},
        {intel, "D975XBX2", HostKinds::AtiIgp, 0, {0x4C, 0x4F}, {0x4D}},
        {"AOpen", "i975Xa-YDG", HostKinds::Intel, 0, {0x15}, {0x16}},
        {"Sun Microsystems", "2864", HostKinds::nVidia, 0x1C40, {0x00, 0xFF}, {}},
        {"Sun Microsystems", "2864", HostKinds::nVidia, 0x1C00, {}, {0x00, 0xFF}},
        // exact compares: case and blanks count
        {"intel corporation", "DP67BG", HostKinds::Intel, 0, {}, {0x30, 0x4B}},
        {"Intel Corporation ", "DP67BG", HostKinds::Intel, 0, {}, {0x30, 0x4B}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maker + " / " + c.product + " host " + std::to_string(c.hostKind));
        const TBoardIdentity board = Board(c.maker, c.product);
        TLink& smbus = link(LinkKinds::SMBus, c.hostKind, c.base);
        const TScanExceptionSet set = GetScanExceptions(smbus, &board);
        for (int a : c.closed) EXPECT_TRUE(set.test(static_cast<std::size_t>(a))) << a;
        for (int a : c.open) EXPECT_FALSE(set.test(static_cast<std::size_t>(a))) << a;
        for (int a : c.closed) EXPECT_TRUE(IsAddressExcluded(smbus, a, &board)) << a;
    }
}

TEST_F(ScanExceptions, SystemIdentityRow) {
    TBoardIdentity board;
    board.SystemManufacturer = "TOSHIBA";
    board.SystemProduct = "Satellite A215";
    std::vector<int> open = Range(0x50, 0x53);
    open.push_back(0x69);
    EXPECT_EQ(Open(GetScanExceptions(link(LinkKinds::SMBus, HostKinds::AMD, 0), &board)), open);
    board.BoardManufacturer = "TOSHIBA";  // the board maker does not stand in for the system's
    board.SystemManufacturer = "";
    EXPECT_EQ(Open(GetScanExceptions(link(LinkKinds::SMBus, HostKinds::AMD, 0), &board)), Range(0, 255));
}

TEST_F(ScanExceptions, TwoRowsUnite) {
    const TBoardIdentity board = Board("Intel Corporation", "D975XBX2");
    // Not an Intel row itself; here together with the MCH rule.
    const TScanExceptionSet mch = GetScanExceptions(link(LinkKinds::SMBus, HostKinds::IntelMCH, 0), &board);
    EXPECT_EQ(Open(mch), Range(0x50, 0x53));
    const TBoardIdentity dfi = Board("DFI Inc.", "LP UT NF590 SLI");
    const TScanExceptionSet nf = GetScanExceptions(link(LinkKinds::SMBus, HostKinds::nForce2, 0x5000), &dfi);
    EXPECT_TRUE(nf.test(0x2E));
    TBoardIdentity both = Board("Intel Corporation", "DX38BT");
    const TScanExceptionSet intel = GetScanExceptions(link(LinkKinds::SMBus, HostKinds::Intel, 0), &both);
    EXPECT_EQ(intel.count(), 2u);
    both.SystemManufacturer = "TOSHIBA";
    both.SystemProduct = "Satellite A215";
    const TScanExceptionSet united = GetScanExceptions(link(LinkKinds::SMBus, HostKinds::Intel, 0), &both);
    std::vector<int> open = {0x50, 0x51, 0x52, 0x53, 0x69};
    EXPECT_EQ(Open(united), open);  // 4Ch and 4Fh closed by both rows
}

TEST_F(ScanExceptions, ISALinks) {
    TLink& closed = link(LinkKinds::ISA, HostKinds::ISA, 0x0CCB);
    TLink& open = link(LinkKinds::ISA, HostKinds::ISA, 0x0290);
    TLink& other = link(LinkKinds::ISA, HostKinds::ISA, 0x0CD1);
    TLink& flat = link(LinkKinds::ISAFlat, HostKinds::ISAFlat, 0x0CCB);
    clearTrace();
    EXPECT_TRUE(IsAddressExcluded(closed, 0x2D, nullptr));
    EXPECT_FALSE(IsAddressExcluded(open, 0x2D, nullptr));
    EXPECT_TRUE(GetScanExceptions(other, nullptr).test(0));
    EXPECT_EQ(trace(), (std::vector<std::string>{"ISA@CCB access test...", "Preventing access to ISA @$0CCB",
                                                 "  --> PREVENTED", "ISA@290 access test...", "  --> NOT PREVENTED",
                                                 "Preventing access to ISA @$0CD1"}));
    // An ISA flat link at the same base is no ISA link here.
    EXPECT_FALSE(GetScanExceptions(flat, nullptr).any());
}

TEST_F(ScanExceptions, AddressesOutsideTheBus) {
    TLink& mch = link(LinkKinds::SMBus, HostKinds::IntelMCH, 0);
    EXPECT_FALSE(IsAddressExcluded(mch, -1, nullptr));
    EXPECT_FALSE(IsAddressExcluded(mch, 256, nullptr));
    EXPECT_TRUE(IsAddressExcluded(mch, 255, nullptr));
    EXPECT_FALSE(IsAddressExcluded(mch, 0x50, nullptr));
}

TEST_F(ScanExceptions, TrailingBlanks) {
    TBoardIdentity board = Board("Dell Inc. ", "0G841G");
    board.SystemProduct = " Inspiron 530  ";
    EXPECT_FALSE(GetScanExceptions(link(LinkKinds::SMBus, HostKinds::Intel, 0), &board).any());
    EXPECT_TRUE(IsDellWithoutSMI(&board));
    for (const char* model : {"Studio 1747", "XPS L501X", "PowerEdge R415", "Inspiron 530", "Studio 1558"}) {
        board.SystemProduct = model;
        EXPECT_TRUE(IsDellWithoutSMI(&board)) << model;
    }
    board.SystemProduct = "Inspiron 531";
    EXPECT_FALSE(IsDellWithoutSMI(&board));
    board.SystemProduct = "Studio 1747";
    board.BoardManufacturer = "dell inc.";
    EXPECT_FALSE(IsDellWithoutSMI(&board));
    EXPECT_FALSE(IsDellWithoutSMI(nullptr));
}

TEST_F(ScanExceptions, UnitStartLine) {
    clearTrace();
    InitializeCvscanexceptions();
    EXPECT_EQ(trace(), (std::vector<std::string>{"Initializing CVSCANEXCEPTIONS"}));
}

}  // namespace
