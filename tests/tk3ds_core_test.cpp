// 3D Studio toolkit core: error list, file table, values, chunk tree and chunk data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "TestSupport.h"
#include "interchange3ds/Chunk3ds.h"
#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"
#include "interchange3ds/Keyframer3ds.h"
#include "interchange3ds/Material3ds.h"
#include "interchange3ds/Mesh3ds.h"
#include "interchange3ds/Values3ds.h"
#include "platform/Files.h"

using namespace lithoscope;

namespace {

// --- a byte builder for hand-made files, independent of the toolkit's writer -------------

using Bytes = std::vector<uint8_t>;

void U16(Bytes& b, uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
void U32(Bytes& b, uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i))); }
void F32(Bytes& b, float f) { uint32_t u; std::memcpy(&u, &f, 4); U32(b, u); }
void Str(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); b.push_back(0); }
Bytes Chunk(uint16_t tag, const Bytes& body, std::initializer_list<Bytes> children = {}) {
    Bytes out;
    U16(out, tag);
    size_t len = 6 + body.size();
    for (const Bytes& c : children) len += c.size();
    U32(out, uint32_t(len));
    out.insert(out.end(), body.begin(), body.end());
    for (const Bytes& c : children) out.insert(out.end(), c.begin(), c.end());
    return out;
}
Bytes U32Body(uint32_t v) { Bytes b; U32(b, v); return b; }
Bytes StrBody(const std::string& s) { Bytes b; Str(b, s); return b; }
Bytes NodeHeader(const std::string& name, uint16_t parent) {
    Bytes b;
    Str(b, name);
    U16(b, 0x4000);
    U16(b, 0);
    U16(b, parent);
    return b;
}
Bytes U16Body(uint16_t v) { Bytes b; U16(b, v); return b; }

// A small mesh file: one box-like object, a material group and two keyframer nodes.
Bytes SmallMeshFile() {
    Bytes points;
    U16(points, 3);
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) F32(points, f);
    Bytes faces;
    U16(faces, 1);
    for (uint16_t v : {0, 1, 2, 7}) U16(faces, v);
    Bytes group;
    Str(group, "tile0");
    U16(group, 1);
    U16(group, 0);
    Bytes matrix;
    for (int i = 0; i < 12; ++i) F32(matrix, i % 4 == 0 ? 1.f : 0.f);
    Bytes kfHeader;
    U16(kfHeader, 5);
    Str(kfHeader, "");
    U32(kfHeader, 30);
    return Chunk(0x4D4D, {},
                 {Chunk(0x0002, U32Body(3)),
                  Chunk(0x3D3D, {},
                        {Chunk(0x3D3E, U32Body(3)),
                         Chunk(0x4000, StrBody("Box01"),
                               {Chunk(0x4100, {},
                                      {Chunk(0x4110, points),
                                       Chunk(0x4120, faces, {Chunk(0x4130, group)}),
                                       Chunk(0x4160, matrix)})})}),
                  Chunk(0xB000, {},
                        {Chunk(0xB00A, kfHeader),
                         Chunk(0xB002, {}, {Chunk(0xB030, U16Body(0)), Chunk(0xB010, NodeHeader("Box01", 0xFFFF))}),
                         Chunk(0xB002, {}, {Chunk(0xB030, U16Body(1)), Chunk(0xB010, NodeHeader("Child", 0))})})});
}

struct ToolkitTest : ::testing::Test {
    void SetUp() override { ClearErrorList3ds(); CloseAllFiles3ds(); ClearErrorList3ds(); }
    void TearDown() override { CloseAllFiles3ds(); ClearErrorList3ds(); }
};

std::vector<int32_t> Codes() {
    std::vector<int32_t> out;
    for (const ErrorEntry3ds& e : g_ErrorList3ds)
        if (e.code) out.push_back(e.code);
    return out;
}

std::string Dump() {
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    DumpErrorList3ds(f);
    std::fclose(f);
    std::string s(buf, len);
    std::free(buf);
    return s;
}

// Reads bytes into a fresh database; the file stays open (the caller closes all).
Database3ds* ReadBytes(const Bytes& bytes) {
    File3ds* f = OpenMemoryFile3ds("mem", bytes.data(), bytes.size());
    Database3ds* db = nullptr;
    InitDatabase3ds(&db);
    ReadDatabase3ds(f, db);
    return db;
}

Bytes WriteToMemory(Database3ds* db) {
    File3ds* out = CreateMemoryFile3ds("out");
    WriteDatabase3ds(out, db);
    Bytes b = FileBytes3ds(out) ? *FileBytes3ds(out) : Bytes();
    CloseFile3ds(out);
    return b;
}

std::vector<uint32_t> ChildTags(Chunk3ds* parent) {
    std::vector<uint32_t> tags;
    for (Chunk3ds* c = parent->Child(); c; c = c->Next()) tags.push_back(c->tag);
    return tags;
}

}  // namespace

TEST_F(ToolkitTest, ErrorListPushClearDumpAndTexts) {
    PushError3ds(0);
    EXPECT_FALSE(g_bErrorPending3ds);
    EXPECT_TRUE(Codes().empty());
    EXPECT_EQ(Dump(), "");

    PushError3ds(ERR_READING_FILE);
    PushError3ds(ERR_READING_DATABASE);
    PushError3ds(ERR_CREATING_DATABASE);
    EXPECT_TRUE(g_bErrorPending3ds);
    EXPECT_EQ(Dump(), std::string(ErrorText3ds(14)) + "\n" + ErrorText3ds(15) + "\n" +
                          ErrorText3ds(13) + "\n");
    EXPECT_EQ(std::string(ErrorText3ds(13)), "ERR_READING_FILE: Error occured while reading file");

    ClearErrorList3ds();
    EXPECT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(Dump(), "");

    EXPECT_STREQ(ErrorText3ds(20), "Unknown error code was encountered");
    EXPECT_STREQ(ErrorText3ds(21), "Unknown error code was encountered");
    EXPECT_STREQ(ErrorText3ds(-1), "Unknown error code was encountered");
    EXPECT_STREQ(ErrorText3ds(22), "N_ERRORS: More errors were reported then could be recorded.");
    EXPECT_STREQ(ErrorText3ds(0), "NO_FTK_ERRORS: No errors are pending");
    EXPECT_STREQ(ErrorText3ds(19),
                 "ERR_TOO_MANY_FILES: The toolkit has reached its maximum open file limit of 252 files.");
}

TEST_F(ToolkitTest, ErrorListOverflow) {
    g_ErrorOverflow3ds = {0, nullptr};
    for (int i = 0; i < 19; ++i) PushError3ds(ERR_NO_MEM);
    PushError3ds(ERR_INVALID_ARG);  // the 20th
    EXPECT_TRUE(g_bErrorPending3ds);
    EXPECT_EQ(Codes().size(), 19u);
    EXPECT_EQ(g_ErrorList3ds[19].code, 0);  // terminator
    EXPECT_EQ(Dump().find("ERR_INVALID_ARG"), std::string::npos);
    EXPECT_EQ(g_ErrorOverflow3ds.code, ERR_INVALID_ARG);
    PushError3ds(ERR_INVALID_DATA);
    EXPECT_EQ(g_ErrorOverflow3ds.code, N_ERRORS);
    ClearErrorList3ds();
    EXPECT_EQ(g_ErrorOverflow3ds.code, N_ERRORS);  // not touched by a clear
    EXPECT_TRUE(Codes().empty());
    g_ErrorOverflow3ds = {0, nullptr};
}

TEST_F(ToolkitTest, FileTableOpenModesAndSlots) {
    test::TempDir dir;
    std::string a = dir.path() + "/a.3ds", b = dir.path() + "/b.3ds";
    ASSERT_TRUE(WriteFileSafely(a, "abcdef", 6));
    ASSERT_TRUE(WriteFileSafely(b, "xyz", 3));

    File3ds* f1 = OpenFile3ds(a.c_str(), "rw");
    ASSERT_NE(f1, nullptr);
    EXPECT_EQ(f1->mode, FILE_MODE_READ3DS);
    EXPECT_EQ(OpenFile3ds(a.c_str(), "r"), f1);
    EXPECT_EQ(GetFileTableCount3ds(), 1);
    EXPECT_FALSE(g_bErrorPending3ds);

    // A mode without r or w.
    EXPECT_EQ(OpenFile3ds(b.c_str(), "x+"), nullptr);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_INIT_FAILED});
    ClearErrorList3ds();
    // A mode longer than 31 characters counts as empty.
    EXPECT_EQ(OpenFile3ds(b.c_str(), std::string(32, 'r').c_str()), nullptr);
    EXPECT_EQ(Codes(), (std::vector<int32_t>{ERR_STRING_TOO_LONG, ERR_INIT_FAILED}));
    ClearErrorList3ds();
    EXPECT_EQ(OpenFile3ds(nullptr, "r"), nullptr);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_INVALID_ARG});
    ClearErrorList3ds();
    EXPECT_EQ(OpenFile3ds((dir.path() + "/missing.3ds").c_str(), "r"), nullptr);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_OPENING_FILE});
    ClearErrorList3ds();
    EXPECT_EQ(GetFileTableCount3ds(), 1);  // failed opens keep no slot

    // "w" before any "r" opens for writing; slot reuse after a close.
    File3ds* f2 = OpenFile3ds(b.c_str(), "xwr");
    ASSERT_NE(f2, nullptr);
    EXPECT_EQ(f2->mode, FILE_MODE_WRITE3DS);
    EXPECT_EQ(f2->index, 1);
    CloseFile3ds(f1);
    EXPECT_FALSE(IsFileOpen3ds(0));
    File3ds* f3 = OpenFile3ds(a.c_str(), "r");
    ASSERT_NE(f3, nullptr);
    EXPECT_EQ(f3->index, 0);
    EXPECT_EQ(GetFileTableCount3ds(), 2);
    EXPECT_EQ(GetOpenFile3ds(1), f2);
    EXPECT_EQ(GetOpenFile3ds(2), nullptr);
    EXPECT_FALSE(IsFileOpen3ds(255));

    // Names compare with case.
    std::string upper = dir.path() + "/A.3ds";
    EXPECT_EQ(FindOpenFile3ds(upper.c_str()), nullptr);
    EXPECT_EQ(FindOpenFile3ds(a.c_str()), f3);

    // Select and position.
    SelectFile3ds(0);
    EXPECT_EQ(GetCurrentFile3ds(), f3);
    FileSeek3ds(4);
    uint16_t v = 0;
    ReadUShort3ds(&v);
    EXPECT_EQ(v, uint16_t('e' | ('f' << 8)));
    EXPECT_EQ(FileTell3ds(), 6u);
    SelectFile3ds(7);  // no such file: nothing changes
    EXPECT_EQ(GetCurrentFile3ds(), f3);

    // Closing the writer saves its bytes (none written: an empty file).
    CloseFile3ds(f2);
    EXPECT_FALSE(g_bErrorPending3ds);
    std::vector<uint8_t> content;
    ASSERT_TRUE(ReadWholeFile(b, content));
    EXPECT_TRUE(content.empty());
    CloseAllFiles3ds();
    EXPECT_EQ(GetFileTableCount3ds(), 0);
    EXPECT_EQ(GetCurrentFile3ds(), nullptr);
}

TEST_F(ToolkitTest, FileTableLimitAndWriteRefused) {
    std::vector<File3ds*> files;
    for (int i = 0; i < kMaxOpenFiles3ds; ++i) files.push_back(CreateMemoryFile3ds("m"));
    EXPECT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(files.back()->index, 251);
    test::TempDir dir;
    std::string p = dir.path() + "/c.3ds";
    EXPECT_EQ(OpenFile3ds(p.c_str(), "w"), nullptr);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_TOO_MANY_FILES});
    CloseAllFiles3ds();
    ClearErrorList3ds();
    // A folder that does not exist can't be written.
    EXPECT_EQ(OpenFile3ds((dir.path() + "/no/such/x.3ds").c_str(), "w"), nullptr);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_OPENING_FILE});
}

TEST_F(ToolkitTest, ValuesRoundTripAndShortReads) {
    File3ds* out = CreateMemoryFile3ds("v");
    SetCurrentFile3ds(out);
    WriteByte3ds(0xAB);
    WriteUShort3ds(0x1234);
    WriteULong3ds(0xDEADBEEF);
    WriteFloat3ds(1.5f);
    WritePoint3ds({1, 2, 3});
    WriteTexVert3ds({0.25f, 0.75f});
    WriteFace3ds({4, 5, 6, 7});
    WriteString3ds("name");
    WritePaddedString3ds("cam", 11);
    KeyHeader3ds key{12, 0x0005, 0.5f, 9.f, -0.5f, 9.f, 9.f};
    uint32_t keyStart = FileTell3ds();
    WriteKeyHeader3ds(key);
    EXPECT_EQ(FileTell3ds() - keyStart, 14u);  // frame, flags, tension, bias
    ASSERT_FALSE(g_bErrorPending3ds);
    Bytes image = *FileBytes3ds(out);
    EXPECT_EQ(image.size(), 1u + 2 + 4 + 4 + 12 + 8 + 8 + 5 + 11 + 14);
    EXPECT_EQ(image[1], 0x34);
    EXPECT_EQ(image[2], 0x12);

    File3ds* in = OpenMemoryFile3ds("v", image.data(), image.size());
    SetCurrentFile3ds(in);
    uint8_t b; uint16_t s; uint32_t l; float f; Point3ds p; TexVert3ds t; Face3ds fc;
    std::string str, cam;
    KeyHeader3ds k;
    ReadByte3ds(&b); ReadUShort3ds(&s); ReadULong3ds(&l); ReadFloat3ds(&f);
    ReadPoint3ds(&p); ReadTexVert3ds(&t); ReadFace3ds(&fc);
    ReadString3ds(&str, 10); ReadFixedString3ds(&cam, 11); ReadKeyHeader3ds(&k);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(b, 0xAB); EXPECT_EQ(s, 0x1234); EXPECT_EQ(l, 0xDEADBEEFu); EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(p.z, 3.f); EXPECT_EQ(t.v, 0.75f); EXPECT_EQ(fc.flags, 7);
    EXPECT_EQ(str, "name"); EXPECT_EQ(cam, "cam");
    EXPECT_EQ(k.frame, 12); EXPECT_EQ(k.tension, 0.5f); EXPECT_EQ(k.bias, -0.5f);
    EXPECT_EQ(k.continuity, 0.f); EXPECT_EQ(k.easeTo, 0.f); EXPECT_EQ(k.easeFrom, 0.f);

    // A face read at the end of the file.
    ReadFace3ds(&fc);
    EXPECT_EQ(fc.a, 0); EXPECT_EQ(fc.b, 1); EXPECT_EQ(fc.c, 2); EXPECT_EQ(fc.flags, 0);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_READING_FILE});
    ClearErrorList3ds();
    // A track header cut after its flags keeps the defaults of the rest.
    Bytes two = {0x09, 0x00, 0x01};
    SetCurrentFile3ds(OpenMemoryFile3ds("t", two.data(), two.size()));
    TrackHeader3ds th;
    ReadTrackHeader3ds(&th);
    EXPECT_EQ(th.flags, 9); EXPECT_EQ(th.reserved1, 0u); EXPECT_EQ(th.keyCount, 1u);
    EXPECT_TRUE(g_bErrorPending3ds);
    ClearErrorList3ds();
    // A bounded string without its NUL within the field.
    Bytes noNul = {'a', 'b', 'c', 'd', 'e', 0};
    SetCurrentFile3ds(OpenMemoryFile3ds("s", noNul.data(), noNul.size()));
    ReadString3ds(&str, 3);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_READING_FILE});
    ClearErrorList3ds();
    FileSeek3ds(0);
    ReadString3ds(&str, 5);
    EXPECT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(str, "abcde");
    EXPECT_FALSE(CheckNameLength3ds("abcdefghijk", 10));
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_STRING_TOO_LONG});
}

TEST_F(ToolkitTest, RankOrderAndTreeOperations) {
    Chunk3ds* parent = nullptr;
    NewChunkTag3ds(&parent, 0x3D3D);
    for (uint32_t tag : {0x4000u, 0x3D3Eu, 0x0100u, 0xAFFFu}) {
        Chunk3ds* c = nullptr;
        NewChunkTag3ds(&c, tag);
        InsertChildChunk3ds(parent, c);
    }
    EXPECT_EQ(ChildTags(parent), (std::vector<uint32_t>{0x3D3E, 0xAFFF, 0x0100, 0x4000}));
    Chunk3ds* second = nullptr;
    NewChunkTag3ds(&second, 0x4000);
    second->position = 99;
    InsertChildChunk3ds(parent, second);
    Chunk3ds* unranked = nullptr;
    NewChunkTag3ds(&unranked, 0x1234);
    InsertChildChunk3ds(parent, unranked);
    EXPECT_EQ(ChildTags(parent), (std::vector<uint32_t>{0x3D3E, 0xAFFF, 0x0100, 0x4000, 0x4000, 0x1234}));
    Chunk3ds* found = nullptr;
    FindNextChunk3ds(parent->Child(), 0x4000, &found);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Next(), second);  // insertion order among equals

    // Put: the existing chunk is cleared in place; a missing one is inserted by rank.
    Chunk3ds* put = nullptr;
    PutChildChunk3ds(parent, 0x0100, &put);
    EXPECT_EQ(ChildTags(parent)[2], 0x0100u);
    EXPECT_EQ(parent->Child()->Next()->Next(), put);
    PutChildChunk3ds(parent, 0x1400, &put);
    EXPECT_EQ(ChildTags(parent), (std::vector<uint32_t>{0x3D3E, 0xAFFF, 0x0100, 0x1400, 0x4000, 0x4000, 0x1234}));
    EXPECT_EQ(ChunkOrderRank3ds(0xB005), 0);
    EXPECT_EQ(ChunkOrderRank3ds(0x0000), 35);
    EXPECT_EQ(ChunkOrderRank3ds(0x1301), 12);

    // Depth-first search and a deep copy of memory data.
    auto* fv = NewChunkWithDataAs3ds<FloatData3ds>(&put, 0x0100);
    ASSERT_NE(fv, nullptr);
    fv->value = 2.5f;
    AppendChildChunk3ds(second, put);
    FindChunk3ds(parent, 0x0100, &found);
    EXPECT_NE(found, put);  // the first 0x0100 in depth-first order is the direct child
    Chunk3ds* copy = nullptr;
    CopyChunk3ds(second, &copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->position, 99u);
    EXPECT_EQ(copy->Next(), nullptr);
    ASSERT_NE(copy->Child(), nullptr);
    EXPECT_EQ(ChunkDataAs3ds<FloatData3ds>(copy->Child())->value, 2.5f);
    EXPECT_NE(copy->Child()->data.get(), put->data.get());
    ReleaseChunk3ds(&copy);
    EXPECT_EQ(copy, nullptr);

    ClearChunk3ds(second);
    EXPECT_EQ(second->tag, 0u);
    EXPECT_EQ(second->Child(), nullptr);
    EXPECT_EQ(second->readIndex, kNoFile3ds);
    ReleaseChunk3ds(&parent);
    EXPECT_FALSE(g_bErrorPending3ds);
}

TEST_F(ToolkitTest, SmallFileReadsAndWritesBackTheSameBytes) {
    Bytes file = SmallMeshFile();
    Database3ds* db = ReadBytes(file);
    ASSERT_FALSE(g_bErrorPending3ds) << Dump();
    EXPECT_EQ(GetDatabaseKind3ds(db), DbMeshFile3ds);
    Chunk3ds* top = db->topChunk.get();
    EXPECT_EQ(ChildTags(top), (std::vector<uint32_t>{0x0002, 0x3D3D, 0xB000}));

    Chunk3ds* obj = nullptr;
    FindNamedObject3ds(db, "Box01", &obj);
    ASSERT_NE(obj, nullptr);
    Chunk3ds* lower = obj;
    FindNamedObject3ds(db, "box01", &lower);  // names compare with case
    EXPECT_EQ(lower, nullptr);
    Chunk3ds* points = nullptr;
    FindChunk3ds(obj, 0x4110, &points);
    auto* pa = ReadChunkDataAs3ds<PointArrayData3ds>(points);
    ASSERT_NE(pa, nullptr);
    ASSERT_EQ(pa->points.size(), 3u);
    EXPECT_EQ(pa->points[1].x, 1.f);
    Chunk3ds* group = nullptr;
    FindChunk3ds(obj, 0x4130, &group);
    auto* mg = ReadChunkDataAs3ds<MaterialGroupData3ds>(group);
    ASSERT_NE(mg, nullptr);
    EXPECT_EQ(mg->name, "tile0");
    EXPECT_EQ(mg->faces, std::vector<uint16_t>{0});

    // Node names: the child node names its parent.
    Chunk3ds* child = FindNodeByName3ds(db, "Child", 0xB002);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetNodeByIndex3ds(db, 1, 0xB002), child);
    Chunk3ds* pseudo = nullptr;
    FindChunk3ds(child, 0x80F0, &pseudo);
    ASSERT_NE(pseudo, nullptr);
    EXPECT_EQ(ChunkDataAs3ds<StringData3ds>(pseudo)->value, "Box01");
    Chunk3ds* rootNode = FindNodeByName3ds(db, "Box01", 0xB002);
    ASSERT_NE(rootNode, nullptr);
    FindChunk3ds(rootNode, 0x80F0, &pseudo);
    EXPECT_EQ(pseudo, nullptr);

    EXPECT_EQ(WriteToMemory(db), file);
    EXPECT_FALSE(g_bErrorPending3ds) << Dump();
    // And again, with every chunk's data loaded.
    EXPECT_EQ(WriteToMemory(db), file);
    ReleaseDatabase3ds(&db);
    EXPECT_EQ(db, nullptr);
}

TEST_F(ToolkitTest, EveryTruncatedPrefixFailsCleanly) {
    Bytes file = SmallMeshFile();
    for (size_t n = 0; n < file.size(); ++n) {
        ClearErrorList3ds();
        Bytes prefix(file.begin(), file.begin() + n);
        Database3ds* db = ReadBytes(prefix);
        EXPECT_TRUE(g_bErrorPending3ds) << "prefix " << n;
        std::vector<int32_t> codes = Codes();
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.back(), ERR_CREATING_DATABASE) << "prefix " << n;
        ReleaseDatabase3ds(&db);
        CloseAllFiles3ds();
    }
}

TEST_F(ToolkitTest, DamagedLengthsAndNesting) {
    // A child that runs past its parent.
    Bytes bad = Chunk(0x4D4D, {}, {Chunk(0x3D3D, {}, {Chunk(0x3D3E, U32Body(3))})});
    bad[6 + 6 + 2] = 40;  // 0x3D3E claims 40 bytes inside a 22-byte 0x3D3D
    Database3ds* db = ReadBytes(bad);
    EXPECT_EQ(Codes(), (std::vector<int32_t>{ERR_INVALID_CHUNK, ERR_READING_DATABASE,
                                             ERR_READING_DATABASE, ERR_CREATING_DATABASE}));
    ReleaseDatabase3ds(&db);
    ClearErrorList3ds();

    // A length smaller than the header.
    Bytes small = Chunk(0x4D4D, {}, {Chunk(0x3D3D, {})});
    small[6 + 2] = 3;
    db = ReadBytes(small);
    EXPECT_EQ(Codes().front(), ERR_INVALID_CHUNK);
    ReleaseDatabase3ds(&db);
    ClearErrorList3ds();

    // A top length past the end of the file.
    Bytes longTop = Chunk(0x4D4D, {}, {Chunk(0x0002, U32Body(3))});
    longTop[2] = 200;
    db = ReadBytes(longTop);
    EXPECT_EQ(Codes().front(), ERR_INVALID_CHUNK);
    ReleaseDatabase3ds(&db);
    ClearErrorList3ds();

    // Nesting deeper than the reader allows.
    Bytes deep = Chunk(0x3D3D, {});
    for (int i = 0; i < kMaxChunkDepth3ds + 5; ++i) deep = Chunk(0x3D3D, {}, {deep});
    deep = Chunk(0x4D4D, {}, {deep});
    db = ReadBytes(deep);
    EXPECT_TRUE(g_bErrorPending3ds);
    EXPECT_EQ(Codes().front(), ERR_INVALID_CHUNK);
    ReleaseDatabase3ds(&db);
    ClearErrorList3ds();

    // A face count that runs past its chunk: refused before anything is allocated.
    Bytes faces;
    U16(faces, 60000);
    Bytes huge = Chunk(0x4D4D, {}, {Chunk(0x3D3D, {}, {Chunk(0x4000, StrBody("M"), {Chunk(0x4100, {}, {Chunk(0x4120, faces)})})})});
    db = ReadBytes(huge);
    EXPECT_EQ(Codes().front(), ERR_INVALID_CHUNK);
    ReleaseDatabase3ds(&db);
    ClearErrorList3ds();

    // The same count in a vertex list (whose data is read on demand).
    Bytes verts;
    U16(verts, 60000);
    Bytes lazy = Chunk(0x4D4D, {}, {Chunk(0x3D3D, {}, {Chunk(0x4000, StrBody("M"), {Chunk(0x4100, {}, {Chunk(0x4110, verts)})})})});
    db = ReadBytes(lazy);
    ASSERT_FALSE(g_bErrorPending3ds);
    Chunk3ds* vl = nullptr;
    FindChunk3ds(db->topChunk.get(), 0x4110, &vl);
    EXPECT_EQ(ReadChunkData3ds(vl), nullptr);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_INVALID_CHUNK});
    ReleaseDatabase3ds(&db);
}

TEST_F(ToolkitTest, CatalogueEdgeCases) {
    // An unknown tag with 10 data bytes is written back unchanged.
    Bytes ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    Bytes file = Chunk(0x4D4D, {}, {Chunk(0x0002, U32Body(3)), Chunk(0x3D3D, {}, {Chunk(0x3D3E, U32Body(3)), Chunk(0x7777, ten)}),
                                    Chunk(0xB000, {}, {Chunk(0xB00A, [] { Bytes b; U16(b, 5); Str(b, ""); U32(b, 30); return b; }())})});
    Database3ds* db = ReadBytes(file);
    ASSERT_FALSE(g_bErrorPending3ds) << Dump();
    EXPECT_EQ(WriteToMemory(db), file);
    Chunk3ds* unknown = nullptr;
    FindChunk3ds(db->topChunk.get(), 0x7777, &unknown);
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(unknown->size, 16u);
    EXPECT_EQ(ChunkDataAs3ds<OpaqueData3ds>(unknown)->bytes, ten);
    ReleaseDatabase3ds(&db);

    // 0x4150 of length 18: three values.
    Bytes smooth;
    for (uint32_t v : {1u, 2u, 4u}) U32(smooth, v);
    Bytes sg = Chunk(0x4150, smooth);
    ASSERT_EQ(sg.size(), 18u);
    File3ds* f = OpenMemoryFile3ds("sg", sg.data(), sg.size());
    SetCurrentFile3ds(f);
    FileSeek3ds(6);
    auto data = DecodeChunkData3ds(0x4150, 12);
    auto* groups = dynamic_cast<SmoothGroupData3ds*>(data.get());
    ASSERT_NE(groups, nullptr);
    EXPECT_EQ(groups->groups, (std::vector<uint32_t>{1, 2, 4}));

    // Names fill their fields and no more: 10 characters for an object or a node, 12 for a
    // map while the tree is read, 16 for a material or a face group's material. One more
    // fails the read (of the tree, or of the mesh for a group), with a note that names the
    // name and its field.
    auto inEditor = [](const Bytes& chunk) { return Chunk(0x4D4D, {}, {Chunk(0x3D3D, {}, {chunk})}); };
    auto material = [](const std::string& name, const std::string& map) {
        return Chunk(0xAFFF, {}, {Chunk(0xA000, StrBody(name)), Chunk(0xA200, {}, {Chunk(0xA300, StrBody(map))})});
    };
    auto group = [](const std::string& name) {
        Bytes g = StrBody(name);
        U16(g, 0);
        return Chunk(0x4000, StrBody("M"), {Chunk(0x4100, {}, {Chunk(0x4120, U16Body(0), {Chunk(0x4130, g)})})});
    };
    const std::vector<std::tuple<const char*, size_t, std::function<Bytes(const std::string&)>>> names = {
        {"object name", 10, [&](const std::string& n) { return inEditor(Chunk(0x4000, StrBody(n), {Chunk(0x4100, {})})); }},
        {"node name", 10,
         [](const std::string& n) {
             return Chunk(0x4D4D, {}, {Chunk(0xB000, {}, {Chunk(0xB002, {}, {Chunk(0xB010, NodeHeader(n, 0xFFFF))})})});
         }},
        {"map name", 12, [&](const std::string& n) { return inEditor(material("mat", n)); }},
        {"material name", 16, [&](const std::string& n) { return inEditor(material(n, "map.tga")); }},
        {"material name of a face group", 16, [&](const std::string& n) { return inEditor(group(n)); }},
    };
    for (const auto& [what, length, file] : names) {
        for (size_t len : {length, length + 1}) {
            SCOPED_TRACE(std::string(what) + " of " + std::to_string(len));
            ClearErrorList3ds();
            const std::string name = "LongName" + std::string(len - 8, 'x');
            db = ReadBytes(file(name));
            Mesh3ds* mesh = nullptr;
            Material3ds* mat = nullptr;
            ObjectMotion3ds* om = nullptr;
            if (!g_bErrorPending3ds) GetMeshByIndex3ds(db, 0, &mesh);
            if (!g_bErrorPending3ds) GetMaterialByIndex3ds(db, 0, &mat);
            if (!g_bErrorPending3ds) GetObjectMotionByIndex3ds(db, 0, &om);
            const std::string held = mesh ? (mesh->materialGroups.empty() ? mesh->name : mesh->materialGroups[0].name)
                                     : mat ? (std::string(what) == "map name" ? mat->texture1().name : mat->name)
                                     : om  ? om->name : "";
            if (len == length) {
                EXPECT_FALSE(g_bErrorPending3ds) << Dump();
                EXPECT_EQ(held, name);
            } else {
                ASSERT_FALSE(Codes().empty());
                EXPECT_EQ(Codes()[0], ERR_READING_FILE);
                EXPECT_EQ(Warnings3ds(), std::vector<std::string>{std::string(what) + " \"" + name +
                                                                  "\" is longer than its field (at most " +
                                                                  std::to_string(length) + " characters)"});
            }
            ReleaseMesh3ds(&mesh);
            ReleaseMaterial3ds(&mat);
            ReleaseObjectMotion3ds(&om);
            ReleaseDatabase3ds(&db);
        }
    }
    ClearErrorList3ds();
    EXPECT_TRUE(Warnings3ds().empty());

    // A group with count 0 writes only its name and the count; a size-0 chunk gets its length.
    File3ds* out = CreateMemoryFile3ds("g");
    Chunk3ds* c = nullptr;
    auto* mg = NewChunkWithDataAs3ds<MaterialGroupData3ds>(&c, 0x4130);
    ASSERT_NE(mg, nullptr);
    mg->name = "ab";
    EXPECT_EQ(c->size, 0u);
    Database3ds* mem = nullptr;
    InitDatabase3ds(&mem);
    CreateNewDatabase3ds(mem, DbUnknown3ds);  // tag 0 top: nothing but what we add is written
    mem->topChunk->tag = 0x1234;
    AppendChildChunk3ds(mem->topChunk.get(), c);
    WriteDatabase3ds(out, mem);
    ASSERT_FALSE(g_bErrorPending3ds) << Dump();
    Bytes expect = Chunk(0x1234, {}, {Chunk(0x4130, {'a', 'b', 0, 0, 0})});
    EXPECT_EQ(*FileBytes3ds(out), expect);
    EXPECT_EQ(c->size, 11u);
    EXPECT_EQ(mem->topChunk->size, 17u);
    ReleaseDatabase3ds(&mem);

    // A top tag 0x1234 reads into a database of kind 0 without children or error.
    db = ReadBytes(expect);
    EXPECT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(GetDatabaseKind3ds(db), DbUnknown3ds);
    EXPECT_EQ(db->topChunk->Child(), nullptr);
    ReleaseDatabase3ds(&db);

    // A key header with flags 5 in a position track: 14 bytes in the file, 28 in memory.
    EXPECT_EQ(sizeof(KeyHeader3ds), 28u);
}

TEST_F(ToolkitTest, ExtendedDataEntries) {
    Bytes entry = Chunk(0x8001, {}, {Chunk(0x8002, StrBody("app")), Chunk(0x1234, {9, 9}), Chunk(0x8003, StrBody("lost"))});
    Bytes file = Chunk(0x4D4D, {}, {Chunk(0x0002, U32Body(3)),
                                    Chunk(0x3D3D, {}, {Chunk(0x3D3E, U32Body(3)),
                                                       Chunk(0x4000, StrBody("M"), {Chunk(0x8000, {}, {entry}), Chunk(0x4010, {})})}),
                                    Chunk(0xB000, {}, {Chunk(0xB00A, [] { Bytes b; U16(b, 5); Str(b, ""); U32(b, 30); return b; }())})});
    Database3ds* db = ReadBytes(file);
    ASSERT_FALSE(g_bErrorPending3ds) << Dump();
    Chunk3ds* e = nullptr;
    FindChunk3ds(db->topChunk.get(), 0x8001, &e);
    ASSERT_NE(e, nullptr);
    // The foreign tag ends the entry; the chunks after the entry read normally.
    EXPECT_EQ(ChildTags(e), std::vector<uint32_t>{0x8002});
    Chunk3ds* obj = nullptr;
    FindNamedObject3ds(db, "M", &obj);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(ChildTags(obj), (std::vector<uint32_t>{0x8000, 0x4010}));
    // The entry is written once, as its bytes.
    EXPECT_EQ(WriteToMemory(db), file);
    ReleaseDatabase3ds(&db);
}

TEST_F(ToolkitTest, InstanceParentNamesAndVersions) {
    Bytes kfHeader;
    U16(kfHeader, 5);
    Str(kfHeader, "");
    U32(kfHeader, 30);
    Bytes file = Chunk(0x4D4D, {}, {Chunk(0x0002, U32Body(3)), Chunk(0x3D3D, {}, {Chunk(0x3D3E, U32Body(3))}),
        Chunk(0xB000, {}, {Chunk(0xB00A, kfHeader),
            Chunk(0xB002, {}, {Chunk(0xB030, U16Body(0)), Chunk(0xB010, NodeHeader("Box01", 0xFFFF))}),
            Chunk(0xB002, {}, {Chunk(0xB030, U16Body(1)), Chunk(0xB010, NodeHeader("Box01", 0xFFFF)), Chunk(0xB011, StrBody("b"))}),
            Chunk(0xB002, {}, {Chunk(0xB030, U16Body(2)), Chunk(0xB010, NodeHeader("Kid", 1))}),
            Chunk(0xB002, {}, {Chunk(0xB030, U16Body(3)), Chunk(0xB010, NodeHeader("Kid2", 0))})})});
    Database3ds* db = ReadBytes(file);
    ASSERT_FALSE(g_bErrorPending3ds) << Dump();
    Chunk3ds* kid = FindNodeByName3ds(db, "Kid", 0xB002);
    ASSERT_NE(kid, nullptr);
    EXPECT_NE(FindNodeByName3ds(db, "Box01.b", 0xB002), nullptr);
    Chunk3ds* pseudo = nullptr;
    FindChunk3ds(kid, 0x80F0, &pseudo);
    ASSERT_NE(pseudo, nullptr);
    EXPECT_EQ(ChunkDataAs3ds<StringData3ds>(pseudo)->value, "Box01.b");
    // Split: "Box01.b" finds node 1 again, a plain "Box01" only node 0.
    EXPECT_EQ(WriteToMemory(db), file);
    Chunk3ds* header = nullptr;
    FindChunk3ds(kid, 0xB010, &header);
    EXPECT_EQ(ChunkDataAs3ds<NodeHeaderData3ds>(header)->parentIndex, 1);
    ChunkDataAs3ds<StringData3ds>(pseudo)->value = "Box01";
    WriteToMemory(db);
    EXPECT_EQ(ChunkDataAs3ds<NodeHeaderData3ds>(header)->parentIndex, 0);
    ChunkDataAs3ds<StringData3ds>(pseudo)->value = "Nobody";
    WriteToMemory(db);
    EXPECT_EQ(ChunkDataAs3ds<NodeHeaderData3ds>(header)->parentIndex, -1);
    ReleaseDatabase3ds(&db);

    // A new database carries the release 2 versions.
    InitDatabase3ds(&db);
    CreateNewDatabase3ds(db, DbMeshFile3ds);
    ASSERT_FALSE(g_bErrorPending3ds);
    Chunk3ds* c = nullptr;
    FindChunk3ds(db->topChunk.get(), 0x0002, &c);
    EXPECT_EQ(ChunkDataAs3ds<UInt32Data3ds>(c)->value, 3u);
    FindChunk3ds(db->topChunk.get(), 0x3D3E, &c);
    EXPECT_EQ(ChunkDataAs3ds<UInt32Data3ds>(c)->value, 3u);
    FindChunk3ds(db->topChunk.get(), 0xB00A, &c);
    EXPECT_EQ(ChunkDataAs3ds<KfHeaderData3ds>(c)->revision, 5);
    EXPECT_EQ(ChunkDataAs3ds<KfHeaderData3ds>(c)->animLength, 30u);
    EXPECT_EQ(ChildTags(db->topChunk.get()), (std::vector<uint32_t>{0x0002, 0x3D3D, 0xB000}));
    // A hand-built file of the same content.
    Bytes expect = Chunk(0x4D4D, {}, {Chunk(0x0002, U32Body(3)), Chunk(0x3D3D, {}, {Chunk(0x3D3E, U32Body(3))}),
                                      Chunk(0xB000, {}, {Chunk(0xB00A, kfHeader)})});
    EXPECT_EQ(WriteToMemory(db), expect);
    ReleaseDatabase3ds(&db);

    // Kind 3 gets no version chunks; ops on a database without a top chunk.
    InitDatabase3ds(&db);
    Chunk3ds* none = nullptr;
    FindMaterialEntry3ds(db, "x", &none);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_INVALID_DATABASE});
    ClearErrorList3ds();
    CreateNewDatabase3ds(db, DbMaterialFile3ds);
    EXPECT_EQ(db->topChunk->Child(), nullptr);
    EXPECT_EQ(GetMaterialEntryByIndex3ds(db, 0), nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);
    ReleaseDatabase3ds(&db);
    PutVersionChunks3ds(nullptr, 2);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_INVALID_DATA});
}

TEST_F(ToolkitTest, ReadThenRewriteTheSamePath) {
    test::TempDir dir;
    std::string path = dir.path() + "/scene.3ds";
    Bytes file = SmallMeshFile();
    ASSERT_TRUE(WriteFileSafely(path, file.data(), file.size()));
    File3ds* in = OpenFile3ds(path.c_str(), "r");
    Database3ds* db = nullptr;
    InitDatabase3ds(&db);
    ReadDatabase3ds(in, db);
    ASSERT_FALSE(g_bErrorPending3ds) << Dump();
    SelectFile3ds(in->index);
    FileSeek3ds(6);
    File3ds* out = OpenFile3ds(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    EXPECT_NE(out, in);
    EXPECT_EQ(in->moved, 1);
    EXPECT_EQ(FindOpenFile3ds(path.c_str()), out);
    EXPECT_EQ(in->position, 6u);  // the reader keeps its place
    WriteDatabase3ds(out, db);    // every chunk's data still loads from the reader
    ASSERT_FALSE(g_bErrorPending3ds) << Dump();
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    ASSERT_FALSE(g_bErrorPending3ds);
    Bytes again;
    ASSERT_TRUE(ReadWholeFile(path, again));
    EXPECT_EQ(again, file);

    // A failed write leaves the user's file alone.
    out = OpenFile3ds(path.c_str(), "w");
    InitDatabase3ds(&db);
    WriteDatabase3ds(out, db);  // no top chunk
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_INVALID_DATABASE});
    ClearErrorList3ds();
    CreateNewDatabase3ds(db, DbMeshFile3ds);
    Chunk3ds* bad = nullptr;
    auto* pa = NewChunkWithDataAs3ds<PointArrayData3ds>(&bad, 0x4110);
    pa->points.resize(70000);  // more than a uint16 count
    AppendChildChunk3ds(db->topChunk.get(), bad);
    WriteDatabase3ds(out, db);
    EXPECT_EQ(Codes(), (std::vector<int32_t>{ERR_INVALID_DATA, ERR_WRITING_DATABASE}));
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    ASSERT_TRUE(ReadWholeFile(path, again));
    EXPECT_EQ(again, file);
}

TEST_F(ToolkitTest, TracksAndWideTrees) {
    // A position track with one key whose header holds tension and bias.
    Bytes track;
    U16(track, 0x0002);
    U32(track, 0);
    U32(track, 0);
    U32(track, 1);
    U32(track, 7);       // frame
    U16(track, 0x0005);  // tension, bias
    F32(track, 0.25f);
    F32(track, -1.f);
    for (float f : {1.f, 2.f, 3.f}) F32(track, f);
    Bytes node = Chunk(0xB002, {}, {Chunk(0xB030, U16Body(0)), Chunk(0xB010, NodeHeader("N", 0xFFFF)), Chunk(0xB020, track)});
    Bytes kfHeader;
    U16(kfHeader, 5);
    Str(kfHeader, "");
    U32(kfHeader, 30);
    Bytes file = Chunk(0x4D4D, {}, {Chunk(0x0002, U32Body(3)), Chunk(0x3D3D, {}, {Chunk(0x3D3E, U32Body(3))}),
                                    Chunk(0xB000, {}, {Chunk(0xB00A, kfHeader), node})});
    Database3ds* db = ReadBytes(file);
    ASSERT_FALSE(g_bErrorPending3ds) << Dump();
    Chunk3ds* pos = nullptr;
    FindChunk3ds(db->topChunk.get(), 0xB020, &pos);
    auto* pt = ReadChunkDataAs3ds<PointTrackData3ds>(pos);
    ASSERT_NE(pt, nullptr);
    EXPECT_EQ(pt->flags, 2);
    ASSERT_EQ(pt->keyCount(), 1u);
    EXPECT_EQ(pt->keys[0].frame, 7);
    EXPECT_EQ(pt->keys[0].tension, 0.25f);
    EXPECT_EQ(pt->keys[0].continuity, 0.f);
    EXPECT_EQ(pt->keys[0].bias, -1.f);
    EXPECT_EQ(pt->values[0].y, 2.f);
    EXPECT_EQ(WriteToMemory(db), file);
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();

    // A key count past the chunk is refused before anything is allocated.
    Bytes badTrack = track;
    badTrack[10] = 0xFF, badTrack[11] = 0xFF, badTrack[12] = 0xFF;
    Bytes badFile = Chunk(0x4D4D, {}, {Chunk(0xB000, {}, {Chunk(0xB002, {}, {Chunk(0xB020, badTrack)})})});
    db = ReadBytes(badFile);
    ASSERT_FALSE(g_bErrorPending3ds);
    FindChunk3ds(db->topChunk.get(), 0xB020, &pos);
    EXPECT_EQ(ReadChunkData3ds(pos), nullptr);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_INVALID_CHUNK});
    ReleaseDatabase3ds(&db);
    ClearErrorList3ds();

    // Fifty thousand siblings read, write and free without deep recursion.
    Bytes many;
    for (int i = 0; i < 50000; ++i) {
        Bytes c = Chunk(0x4010, {});
        many.insert(many.end(), c.begin(), c.end());
    }
    Bytes wide;
    U16(wide, 0x3DAA);
    U32(wide, uint32_t(6 + many.size()));
    wide.insert(wide.end(), many.begin(), many.end());
    db = ReadBytes(wide);
    ASSERT_FALSE(g_bErrorPending3ds);
    EXPECT_EQ(WriteToMemory(db), wide);
    ReleaseDatabase3ds(&db);
}

TEST_F(ToolkitTest, CloseAllClosesEveryFileAfterAnEarlierError) {
    File3ds* a = CreateMemoryFile3ds("a");
    File3ds* b = CreateMemoryFile3ds("b");
    ASSERT_TRUE(a && b);
    PushError3ds(ERR_READING_FILE);
    CloseAllFiles3ds();
    EXPECT_EQ(GetFileTableCount3ds(), 0);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_READING_FILE});
    // Releases with a null outer pointer.
    ReleaseStringList3ds(nullptr);
    EXPECT_EQ(Codes().back(), ERR_INVALID_ARG);
    ClearErrorList3ds();
    StringList3ds* list = nullptr;
    InitStringList3ds(&list, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 0u);
    EXPECT_EQ(list->capacity(), 5u);
    ReleaseStringList3ds(&list);
    EXPECT_EQ(list, nullptr);
    NameList3ds* names = nullptr;
    InitNameList3ds(&names, 3);
    ASSERT_EQ(names->count(), 3u);
    EXPECT_FALSE(names->list[0].hasName);
    ReleaseNameList3ds(&names);
    ReleaseNameList3ds(nullptr);
    ReleaseDatabase3ds(nullptr);
    EXPECT_FALSE(g_bErrorPending3ds);
    InitDatabase3ds(nullptr);
    EXPECT_EQ(Codes(), std::vector<int32_t>{ERR_INVALID_ARG});
}
