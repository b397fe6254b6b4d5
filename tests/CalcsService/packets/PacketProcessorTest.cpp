#include "packets/PacketProcessor.h"

#include <stdexcept>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "packets/PacketTypes.h"
#include "packets/RequestReaders.h"
#include "packets/RequestRefused.h"
#include "support/LogMessages.h"
#include "support/WireWriter.h"

namespace {

using Packets::PacketProcessor;
using Packets::RequestStream;
using testing::_;
using testing::ElementsAre;
using testing::Invoke;
using wiretest::makePacket;
using Bytes = std::vector<std::uint8_t>;

class MockHandler : public Handlers::BaseHandler {
public:
    MOCK_METHOD(void, handle, (RequestStream&, Bytes&, const Bytes&), (override));
};

class PacketProcessorTest : public testing::Test {
protected:
    void SetUp() override { testsupport::LogMessages::instance().take(); }

    std::vector<std::string> logged() { return testsupport::LogMessages::instance().take(); }

    std::shared_ptr<MockHandler> m_handler = std::make_shared<MockHandler>();
    PacketProcessor m_processor{{{Packets::RESET_DATA, m_handler}, {Packets::DUMP_STOCK, m_handler}}};
    Bytes m_reply;
};

TEST_F(PacketProcessorTest, DispatchesBodyAndRequestIdToTheHandlerOfTheType) {
    const wiretest::RequestId id = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const Bytes packet = makePacket(Packets::DUMP_STOCK, wiretest::WireWriter().str("IBM").data(), id);
    EXPECT_CALL(*m_handler, handle(_, _, Bytes(id.begin(), id.end())))
        .WillOnce(Invoke([](RequestStream& body, Bytes& reply, const Bytes&) {
            std::string symbol;
            EXPECT_TRUE(Packets::readString(body, symbol));
            EXPECT_EQ(symbol, "IBM");
            EXPECT_EQ(body.remaining(), 0u);
            reply.assign({9, 9, 9});
        }));

    EXPECT_EQ(m_processor.process(packet, m_reply), 2049);
    EXPECT_EQ(m_reply, Bytes({9, 9, 9}));
    EXPECT_THAT(logged(), ElementsAre());
}

TEST_F(PacketProcessorTest, HeaderOnlyPacketReachesItsHandlerWithItsIdAndAnEmptyBody) {
    const wiretest::RequestId id = {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_CALL(*m_handler, handle(_, _, Bytes(id.begin(), id.end())))
        .WillOnce(Invoke([](RequestStream& body, Bytes&, const Bytes&) {
            EXPECT_EQ(body.remaining(), 0u);
            EXPECT_FALSE(body.failed());
        }));
    EXPECT_EQ(m_processor.process(makePacket(Packets::RESET_DATA, {}, id), m_reply), 2048);
    EXPECT_TRUE(m_reply.empty());
    EXPECT_THAT(logged(), ElementsAre());
}

TEST_F(PacketProcessorTest, PacketShorterThanTheHeaderKeepsItsMissingRequestIdZero) {
    Bytes packet = makePacket(Packets::RESET_DATA, {}, {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7});
    packet.resize(20);
    wiretest::placeAt<std::uint32_t>(packet, 8, 20);
    const Bytes partialId = {7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_CALL(*m_handler, handle(_, _, partialId)).WillOnce(Invoke([](RequestStream& body, Bytes&, const Bytes&) {
        EXPECT_EQ(body.remaining(), 0u);
    }));
    EXPECT_EQ(m_processor.process(packet, m_reply), 2048);
}

TEST_F(PacketProcessorTest, RejectedPacketsAreLoggedAndNotHandled) {
    EXPECT_CALL(*m_handler, handle(_, _, _)).Times(0);

    EXPECT_EQ(m_processor.process({}, m_reply), 0);
    EXPECT_THAT(logged(), ElementsAre());

    EXPECT_EQ(m_processor.process(makePacket(Packets::RESET_DATA, {}, {}, 7), m_reply), 2048);
    EXPECT_THAT(logged(),
                ElementsAre("error: unsupported version of protocol (7), current version is (8), packet skipped"));

    Bytes packet = makePacket(Packets::RESET_DATA, Bytes(68, 0));
    wiretest::placeAt<std::uint32_t>(packet, 8, 100);
    EXPECT_EQ(m_processor.process(packet, m_reply), 0);
    EXPECT_THAT(logged(), ElementsAre("error: packet size != stream size, (100!=96"));

    // Too short for the size field: it stays 0.
    packet = makePacket(Packets::RESET_DATA, {});
    packet.resize(8);
    EXPECT_EQ(m_processor.process(packet, m_reply), 0);
    EXPECT_THAT(logged(), ElementsAre("error: packet size != stream size, (0!=8"));

    EXPECT_EQ(m_processor.process(makePacket(Packets::TEST_PACKET, {}), m_reply), 0);
    EXPECT_THAT(logged(), ElementsAre("error: unknown packet type received, packetType:9999"));

    EXPECT_TRUE(m_reply.empty());
}

TEST_F(PacketProcessorTest, FailedHandlerSendsNoReply) {
    EXPECT_CALL(*m_handler, handle(_, _, _))
        .WillOnce(Invoke([](RequestStream&, Bytes& reply, const Bytes&) {
            reply.assign(40, 0);
            throw std::runtime_error("m_pfDumpStock is null");
        }))
        .WillOnce(Invoke([](RequestStream&, Bytes& reply, const Bytes&) {
            reply.assign(40, 0);
            throw 42;
        }));

    EXPECT_EQ(m_processor.process(makePacket(Packets::DUMP_STOCK, {}), m_reply), 2049);
    EXPECT_TRUE(m_reply.empty());
    EXPECT_THAT(logged(), ElementsAre("error: PacketProcessor has cought exception:m_pfDumpStock is null"));

    EXPECT_EQ(m_processor.process(makePacket(Packets::DUMP_STOCK, {}), m_reply), 2049);
    EXPECT_TRUE(m_reply.empty());
    EXPECT_THAT(logged(), ElementsAre("fatal: PacketProcessor has cought unknown exception"));
}

TEST_F(PacketProcessorTest, BodyThatEndsInsideAFieldIsLogged) {
    EXPECT_CALL(*m_handler, handle(_, _, _)).WillOnce(Invoke([](RequestStream& body, Bytes&, const Bytes&) {
        std::string symbol = "kept";
        EXPECT_FALSE(Packets::readString(body, symbol));
        EXPECT_EQ(symbol, "kept");
    }));
    // Claims a 4 GiB symbol in a 34-byte packet.
    EXPECT_EQ(m_processor.process(makePacket(Packets::DUMP_STOCK, wiretest::WireWriter().u32(0xFFFFFFFF).u16(0).data()),
                                  m_reply),
              2049);
    EXPECT_THAT(logged(), ElementsAre("warning: packet body ended inside a field, packetType:2049"));
}

// A refusal is one line that names the request type and what the handler said of the field; a parse
// stopped by a refusal is not also reported as a body that ended inside a field.
TEST_F(PacketProcessorTest, RefusalIsOneLineNamingTheRequestAndNoReply) {
    EXPECT_CALL(*m_handler, handle(_, _, _))
        .WillOnce(Invoke([](RequestStream& body, Bytes& reply, const Bytes&) {
            reply.assign(40, 0);
            body.refuse();
            throw Packets::RequestRefused("tree steps 0 outside 1 to 10000");
        }))
        .WillOnce(Invoke([](RequestStream& body, Bytes&, const Bytes&) {
            std::uint32_t steps = 0;
            EXPECT_TRUE(Packets::readDword(body, steps));
            body.refuse();
            EXPECT_TRUE(body.failed());
            EXPECT_FALSE(Packets::readDword(body, steps));
        }))
        .WillOnce(Invoke([](RequestStream& body, Bytes&, const Bytes&) {
            std::string symbol;
            Packets::refuseIfBodyEnded(Packets::readString(body, symbol));
        }));

    EXPECT_EQ(m_processor.process(makePacket(Packets::DUMP_STOCK, {}), m_reply), 2049);
    EXPECT_TRUE(m_reply.empty());
    EXPECT_THAT(logged(), ElementsAre("error: DUMP_STOCK refused: tree steps 0 outside 1 to 10000"));

    EXPECT_EQ(m_processor.process(makePacket(Packets::RESET_DATA, Bytes(8, 1)), m_reply), 2048);
    EXPECT_THAT(logged(), ElementsAre());

    EXPECT_EQ(m_processor.process(makePacket(Packets::RESET_DATA, wiretest::WireWriter().u32(5).data()), m_reply),
              2048);
    EXPECT_THAT(logged(), ElementsAre("error: RESET_DATA refused: the body ends inside a field"));
}

TEST(PacketTypeNames, NamesComeFromTheVocabularyOthersAreUnknown) {
    EXPECT_EQ(Packets::packetTypeName(0), "UNDEFINED_PACKET");
    EXPECT_EQ(Packets::packetTypeName(261), "RESULT_CALC_OPTIONS_THEOS_AND_GREEKS");
    EXPECT_EQ(Packets::packetTypeName(1794), "DOWNlOAD_VERSION");
    EXPECT_EQ(Packets::packetTypeName(9999), "TEST_PACKET");
    EXPECT_EQ(Packets::packetTypeName(1), "UNKNOWN");
    EXPECT_EQ(Packets::packetTypeName(0xFFFFFFFFu), "UNKNOWN");
}

}  // namespace
