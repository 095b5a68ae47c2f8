// The layers below MMS, each on its own: TPKT framing, COTP class 0 with
// segmentation, session, presentation and ACSE, with the bytes the reference
// traces show and the malformed inputs each must refuse.

#include "acse.h"
#include "cotp.h"
#include "isomessage.h"
#include "isopresentation.h"
#include "isosession.h"
#include "tpkt.h"

#include <QtTest>

class TestIsoLayers : public QObject
{
    Q_OBJECT

private slots:
    void tpktSplitsStreams();
    void tpktRefuses_data();
    void tpktRefuses();
    void cotpConnectRoundTrip_data();
    void cotpConnectRoundTrip();
    void cotpRefuses_data();
    void cotpRefuses();
    void cotpSegments_data();
    void cotpSegments();
    void cotpReassemblyIsBounded();
    void sessionRoundTrip_data();
    void sessionRoundTrip();
    void sessionRefuses_data();
    void sessionRefuses();
    void presentationRoundTrip();
    void presentationRefuses_data();
    void presentationRefuses();
    void acseRoundTrip();
    void acseRefuses_data();
    void acseRefuses();
    void messagesCarryTheirKind_data();
    void messagesCarryTheirKind();
};

void TestIsoLayers::tpktSplitsStreams()
{
    const QByteArray first = Tpkt::frame(QByteArray::fromHex("02f080aabb"));
    const QByteArray second = Tpkt::frame(QByteArray(300, 'x'));
    QCOMPARE(first.toHex(), QByteArray("0300000902f080aabb"));
    TpktReader reader;
    QByteArray tpdu;
    const QByteArray stream = first + second;
    QList<QByteArray> packets;
    // Fed a byte at a time, exactly as much as it asks for.
    for (int i = 0; i < stream.size(); ++i) {
        QVERIFY(reader.missing() >= 1);
        reader.append(stream.mid(i, 1));
        if (reader.next(&tpdu) == TpktReader::PacketReady)
            packets << tpdu;
    }
    QCOMPARE(packets, QList<QByteArray>({QByteArray::fromHex("02f080aabb"), QByteArray(300, 'x')}));
    QCOMPARE(reader.buffered(), 0);
    reader.append(stream);
    QCOMPARE(reader.next(&tpdu), TpktReader::PacketReady);
    QCOMPARE(reader.next(&tpdu), TpktReader::PacketReady);
    QCOMPARE(tpdu.size(), 300);
    QCOMPARE(reader.next(&tpdu), TpktReader::NeedMore);
}

void TestIsoLayers::tpktRefuses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("version 2") << QByteArray::fromHex("0200000902f080aabb");
    QTest::newRow("shorter than its header") << QByteArray::fromHex("03000003");
    QTest::newRow("no room for a TPDU") << QByteArray::fromHex("0300000602f0");
}

void TestIsoLayers::tpktRefuses()
{
    QFETCH(QByteArray, bytes);
    TpktReader reader;
    reader.append(bytes);
    QByteArray tpdu;
    QCOMPARE(reader.next(&tpdu), TpktReader::Malformed);
}

void TestIsoLayers::cotpConnectRoundTrip_data()
{
    QTest::addColumn<int>("sizeCode");
    QTest::addColumn<QByteArray>("callingTsap");
    QTest::addColumn<QByteArray>("calledTsap");
    QTest::newRow("as the traces")
        << 13 << QByteArray::fromHex("0001") << QByteArray::fromHex("0001");
    QTest::newRow("smallest TPDU")
        << 7 << QByteArray::fromHex("0001") << QByteArray::fromHex("0002");
    QTest::newRow("long selectors") << 10 << QByteArray(32, 'a') << QByteArray(1, 'b');
}

void TestIsoLayers::cotpConnectRoundTrip()
{
    QFETCH(int, sizeCode);
    QFETCH(QByteArray, callingTsap);
    QFETCH(QByteArray, calledTsap);
    CotpParameters parameters;
    parameters.tpduSizeCode = sizeCode;
    parameters.callingTsap = callingTsap;
    parameters.calledTsap = calledTsap;
    parameters.sourceReference = 0x1234;
    for (const QByteArray &bytes :
         {Cotp::connectRequest(parameters), Cotp::connectConfirm(parameters)}) {
        CotpTpdu tpdu;
        QVERIFY(Cotp::decode(bytes, &tpdu));
        QVERIFY(tpdu.hasTpduSize);
        QCOMPARE(tpdu.parameters.tpduSizeCode, sizeCode);
        QCOMPARE(tpdu.parameters.callingTsap, callingTsap);
        QCOMPARE(tpdu.parameters.calledTsap, calledTsap);
        QCOMPARE(tpdu.parameters.sourceReference, quint16(0x1234));
    }
    // The connect request of the reference client, byte for byte.
    QCOMPARE(Tpkt::frame(Cotp::connectRequest(CotpParameters())).toHex(),
             QByteArray("0300001611e00000000100c0010dc2020001c1020001"));
}

void TestIsoLayers::cotpRefuses_data()
{
    QTest::addColumn<QByteArray>("tpdu");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("length indicator past the end") << QByteArray::fromHex("05f080");
    QTest::newRow("data header of four") << QByteArray::fromHex("03f08000");
    QTest::newRow("class 4") << QByteArray::fromHex("06e00000000140");
    QTest::newRow("TPDU size 2^14") << QByteArray::fromHex("09e00000000100c0010e");
    QTest::newRow("TPDU size 2^6") << QByteArray::fromHex("09e00000000100c00106");
    QTest::newRow("parameter past the header") << QByteArray::fromHex("09e00000000100c202aa");
    QTest::newRow("selector of 33")
        << QByteArray::fromHex("29e00000000100c121") + QByteArray(33, 'a');
    QTest::newRow("user data in a connect request") << QByteArray::fromHex("06e0000000010000");
    QTest::newRow("unknown type") << QByteArray::fromHex("025080");
}

void TestIsoLayers::cotpRefuses()
{
    QFETCH(QByteArray, tpdu);
    CotpTpdu decoded;
    QVERIFY(!Cotp::decode(tpdu, &decoded));
}

void TestIsoLayers::cotpSegments_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("sizeCode");
    QTest::addColumn<QList<int>>("tpduSizes");
    QTest::newRow("empty") << 0 << 13 << QList<int>{3};
    QTest::newRow("one short TPDU") << 100 << 13 << QList<int>{103};
    QTest::newRow("exactly full") << 8189 << 13 << QList<int>{8192};
    // The namedVariable answer of trace 07: 9161 octets as 8189 and 972.
    QTest::newRow("as trace 07") << 9161 << 13 << QList<int>{8192, 975};
    QTest::newRow("small TPDUs") << 300 << 7 << QList<int>{128, 128, 53};
}

void TestIsoLayers::cotpSegments()
{
    QFETCH(int, size);
    QFETCH(int, sizeCode);
    QFETCH(QList<int>, tpduSizes);
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(char(i * 7));
    const QList<QByteArray> tpdus = Cotp::dataTpdus(data, sizeCode);
    QList<int> sizes;
    CotpReassembler reassembler(size);
    QByteArray joined;
    for (int i = 0; i < tpdus.size(); ++i) {
        sizes << tpdus.at(i).size();
        CotpTpdu tpdu;
        QVERIFY(Cotp::decode(tpdus.at(i), &tpdu));
        QCOMPARE(tpdu.endOfTransmission, i == tpdus.size() - 1);
        const CotpReassembler::Status status = reassembler.add(tpdu);
        QCOMPARE(status,
                 i == tpdus.size() - 1 ? CotpReassembler::Complete : CotpReassembler::Incomplete);
    }
    QCOMPARE(sizes, tpduSizes);
    QCOMPARE(reassembler.take(), data);
}

void TestIsoLayers::cotpReassemblyIsBounded()
{
    CotpReassembler reassembler(1000);
    CotpTpdu part;
    part.type = CotpTpdu::Data;
    part.userData = QByteArray(600, 'a');
    QCOMPARE(reassembler.add(part), CotpReassembler::Incomplete);
    QCOMPARE(reassembler.add(part), CotpReassembler::TooLarge);
    part.endOfTransmission = true;
    QCOMPARE(reassembler.add(part), CotpReassembler::Complete);
    QCOMPARE(reassembler.take().size(), 600);
}

void TestIsoLayers::sessionRoundTrip_data()
{
    QTest::addColumn<QByteArray>("spdu");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("userData");
    const QByteArray small = QByteArray::fromHex("a0038001");
    const QByteArray large(1000, 'u');
    QTest::newRow("connect") << IsoSession::connect(small) << int(SessionSpdu::Connect) << small;
    QTest::newRow("connect, long user data")
        << IsoSession::connect(large) << int(SessionSpdu::Connect) << large;
    QTest::newRow("accept") << IsoSession::accept(small) << int(SessionSpdu::Accept) << small;
    QTest::newRow("data") << IsoSession::data(large) << int(SessionSpdu::Data) << large;
    QTest::newRow("finish") << IsoSession::finish(small) << int(SessionSpdu::Finish) << small;
    QTest::newRow("disconnect") << IsoSession::disconnect(small) << int(SessionSpdu::Disconnect)
                                << small;
    QTest::newRow("abort") << IsoSession::abort(small) << int(SessionSpdu::Abort) << small;
    QTest::newRow("refuse from elsewhere")
        << QByteArray::fromHex("0c033201ff") << int(SessionSpdu::Refuse) << QByteArray();
}

void TestIsoLayers::sessionRoundTrip()
{
    QFETCH(QByteArray, spdu);
    QFETCH(int, type);
    QFETCH(QByteArray, userData);
    SessionSpdu decoded;
    QVERIFY(IsoSession::decode(spdu, &decoded));
    QCOMPARE(decoded.type, type);
    QCOMPARE(decoded.userData, userData);
}

void TestIsoLayers::sessionRefuses_data()
{
    QTest::addColumn<QByteArray>("spdu");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("unknown type") << QByteArray::fromHex("2200");
    QTest::newRow("length past the end") << QByteArray::fromHex("0d10c1");
    QTest::newRow("parameter past its SPDU") << QByteArray::fromHex("0d03c10501");
    QTest::newRow("give tokens alone") << QByteArray::fromHex("0100");
    QTest::newRow("give tokens then finish") << QByteArray::fromHex("01000900");
    QTest::newRow("long length cut short") << QByteArray::fromHex("0dff01");
    QTest::newRow("bytes after a finish") << QByteArray::fromHex("0900aa");
}

void TestIsoLayers::sessionRefuses()
{
    QFETCH(QByteArray, spdu);
    SessionSpdu decoded;
    QVERIFY(!IsoSession::decode(spdu, &decoded));
}

void TestIsoLayers::presentationRoundTrip()
{
    const QByteArray acse = QByteArray::fromHex("6000");
    PresentationPdu pdu;
    QVERIFY(IsoPresentation::decodeConnect(IsoPresentation::connect(acse), &pdu));
    QCOMPARE(pdu.contexts.size(), 2);
    QCOMPARE(pdu.contexts.at(0).id, 1);
    QCOMPARE(pdu.contexts.at(0).abstractSyntax, IsoPresentation::acseSyntax());
    QCOMPARE(pdu.contexts.at(1).id, 3);
    QCOMPARE(pdu.contexts.at(1).abstractSyntax, IsoPresentation::mmsSyntax());
    QVERIFY(pdu.contexts.at(1).berTransfer);
    QCOMPARE(pdu.contextId, 1);
    QCOMPARE(pdu.userData, acse);

    QVERIFY(IsoPresentation::decodeAccept(IsoPresentation::accept({0, 2}, 1, acse), &pdu));
    QCOMPARE(pdu.results, QList<int>({0, 2}));
    QCOMPARE(pdu.userData, acse);
    QVERIFY(IsoPresentation::decodeUserData(IsoPresentation::userData(3, acse), &pdu));
    QCOMPARE(pdu.contextId, 3);
    QVERIFY(IsoPresentation::decodeAbort(IsoPresentation::abort(1, acse), &pdu));
    QCOMPARE(pdu.userData, acse);
    QCOMPARE(IsoPresentation::userData(3, QByteArray::fromHex("8b00")).toHex(),
             QByteArray("61093007020103a0028b00"));
}

void TestIsoLayers::presentationRefuses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind"); // 0 connect, 1 accept, 2 user data
    QTest::newRow("connect without mode") << QByteArray::fromHex("3100") << 0;
    QTest::newRow("connect in another mode") << QByteArray::fromHex("3105a003800100") << 0;
    QTest::newRow("connect without user data") << QByteArray::fromHex("3107a003800101a200") << 0;
    QTest::newRow("accept, results not sequences")
        << QByteArray::fromHex("310ba003800101a204a5020201") << 1;
    QTest::newRow("user data without context") << QByteArray::fromHex("61043002a000") << 2;
    QTest::newRow("user data of another encoding")
        << QByteArray::fromHex("610530030201038200") << 2;
    QTest::newRow("two user data values") << QByteArray::fromHex("61093007020103a0028b006100") << 2;
}

void TestIsoLayers::presentationRefuses()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    PresentationPdu pdu;
    const bool decoded = kind == 0   ? IsoPresentation::decodeConnect(bytes, &pdu)
                         : kind == 1 ? IsoPresentation::decodeAccept(bytes, &pdu)
                                     : IsoPresentation::decodeUserData(bytes, &pdu);
    QVERIFY(!decoded);
}

void TestIsoLayers::acseRoundTrip()
{
    const QByteArray mms = QByteArray::fromHex("a800");
    AcseApdu apdu;
    QVERIFY(Acse::decode(Acse::associateRequest(3, mms), &apdu));
    QCOMPARE(apdu.type, int(AcseApdu::AssociateRequest));
    QCOMPARE(apdu.applicationContext, Acse::mmsApplicationContext());
    QCOMPARE(apdu.userInformationContext, 3);
    QCOMPARE(apdu.userInformation, mms);
    QVERIFY(Acse::decode(Acse::associateResponse(AcseApdu::RejectedTransient, 3, mms), &apdu));
    QCOMPARE(apdu.result, int(AcseApdu::RejectedTransient));
    QCOMPARE(apdu.diagnostic, 1);
    QCOMPARE(Acse::releaseRequest().toHex(), QByteArray("6203800100"));
    QCOMPARE(Acse::releaseResponse().toHex(), QByteArray("6300"));
    QCOMPARE(Acse::abort().toHex(), QByteArray("6403800100"));
    QVERIFY(Acse::decode(Acse::abort(), &apdu));
    QCOMPARE(apdu.abortSource, 0);
}

void TestIsoLayers::acseRefuses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not an APDU") << QByteArray::fromHex("6500");
    QTest::newRow("response without result") << QByteArray::fromHex("6100");
    QTest::newRow("abort without source") << QByteArray::fromHex("6400");
    QTest::newRow("result nested without end")
        << QByteArray::fromHex("610ca20aa208a206a204a202a200");
    QTest::newRow("user information not external") << QByteArray::fromHex("6004be023000");
    QTest::newRow("trailing bytes") << QByteArray::fromHex("630000");
}

void TestIsoLayers::acseRefuses()
{
    QFETCH(QByteArray, bytes);
    AcseApdu apdu;
    QVERIFY(!Acse::decode(bytes, &apdu));
}

void TestIsoLayers::messagesCarryTheirKind_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("mms");
    const QByteArray initiate = QByteArray::fromHex("a800");
    QTest::newRow("associate request") << IsoMessageCodec::associateRequest(initiate)
                                       << int(IsoMessage::AssociateRequest) << initiate;
    QTest::newRow("associate response")
        << IsoMessageCodec::associateResponse({0, 0}, 1, 3, 0, initiate)
        << int(IsoMessage::AssociateResponse) << initiate;
    QTest::newRow("data") << IsoMessageCodec::data(3, initiate) << int(IsoMessage::Data)
                          << initiate;
    QTest::newRow("release request")
        << IsoMessageCodec::releaseRequest(1) << int(IsoMessage::ReleaseRequest) << QByteArray();
    QTest::newRow("release response")
        << IsoMessageCodec::releaseResponse(1) << int(IsoMessage::ReleaseResponse) << QByteArray();
    QTest::newRow("abort") << IsoMessageCodec::abort(1) << int(IsoMessage::Abort) << QByteArray();
    QTest::newRow("abort without user data")
        << QByteArray::fromHex("19031101 0b") << int(IsoMessage::Abort) << QByteArray();
    QTest::newRow("finish carrying no release")
        << IsoSession::finish(IsoPresentation::userData(1, QByteArray::fromHex("6300")))
        << int(IsoMessage::Invalid) << QByteArray();
}

void TestIsoLayers::messagesCarryTheirKind()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    QFETCH(QByteArray, mms);
    IsoMessage message;
    QCOMPARE(IsoMessageCodec::decode(bytes, &message), kind != int(IsoMessage::Invalid));
    QCOMPARE(int(message.kind), kind);
    QCOMPARE(message.mms, mms);
}

QTEST_GUILESS_MAIN(TestIsoLayers)
#include "tst_isolayers.moc"
