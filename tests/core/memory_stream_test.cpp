#include "core/memory_stream.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/error_log.h"
#include "platform/paths.h"
#include "test_support.h"

TEST(MemoryReader, ReadsEveryWidthLittleEndian)
{
    const std::uint8_t bytes[] = {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF,
                                  0x00, 0x00, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0xF0, 0xBF};
    TIfStreamMemory in(bytes, sizeof bytes);
    std::uint8_t u8;
    std::uint16_t u16;
    std::uint32_t u32;
    std::int32_t i32;
    float f;
    double d;
    EXPECT_TRUE(in.ReadU8(u8));
    EXPECT_TRUE(in.ReadU16(u16));
    EXPECT_TRUE(in.ReadU32(u32));
    EXPECT_TRUE(in.ReadI32(i32));
    EXPECT_TRUE(in.ReadF32(f));
    EXPECT_TRUE(in.ReadF64(d));
    EXPECT_EQ(u8, 1);
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(u32, 0x12345678u);
    EXPECT_EQ(i32, -1);
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(d, -1.0);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_FALSE(in.Failed());
}

TEST(MemoryReader, ShortReadCopiesWhatIsLeftZeroFillsAndFails)
{
    const char data[] = "abcdefgh";
    TIfStreamMemory in(data, 8);
    in.Seek(4);
    char dest[10];
    std::memset(dest, 'x', sizeof dest);
    EXPECT_EQ(in.Read(dest, 10), 4);
    EXPECT_EQ(std::string(dest, 4), "efgh");
    for (int i = 4; i < 10; ++i)
        EXPECT_EQ(dest[i], 0);
    EXPECT_EQ(in.Pos(), in.Size());
    EXPECT_TRUE(in.Failed());
    EXPECT_EQ(in.Read(dest, 1), 0);
    std::uint32_t v = 7;
    EXPECT_FALSE(in.ReadU32(v));
    EXPECT_EQ(v, 0u);
}

TEST(MemoryReader, SeekRules)
{
    const char data[] = "abcd";
    TIfStreamMemory in(data, 4);
    EXPECT_FALSE(in.Seek(-1));
    EXPECT_EQ(in.Pos(), 0);
    EXPECT_TRUE(in.Seek(4 + 5));
    char c;
    EXPECT_EQ(in.Read(&c, 1), 0);
}

TEST(MemoryReader, TokensSkipDelimiterRuns)
{
    const char data[] = "  12\r\n34";
    TIfStreamMemory in(data, 8);
    char tok[16];
    EXPECT_EQ(in.ReadToken(tok, sizeof tok), 0);
    EXPECT_STREQ(tok, "");
    EXPECT_EQ(in.ReadToken(tok, sizeof tok), 2);
    EXPECT_STREQ(tok, "12");
    EXPECT_EQ(in.ReadToken(tok, sizeof tok), 2);
    EXPECT_STREQ(tok, "34");
    EXPECT_EQ(in.Pos(), in.Size());
    EXPECT_EQ(in.ReadToken(tok, sizeof tok), 0);
    EXPECT_STREQ(tok, "");
}

TEST(MemoryReader, TokenAtCapacityIsCutAndTheRestSkipped)
{
    const char data[] = "abcdefgh next";
    TIfStreamMemory in(data, 13);
    char tok[5];
    std::memset(tok, 'x', sizeof tok);
    EXPECT_EQ(in.ReadToken(tok, sizeof tok), 4);
    EXPECT_STREQ(tok, "abcd");
    EXPECT_EQ(in.ReadToken(tok, sizeof tok), 4);
    EXPECT_STREQ(tok, "next");
    char exact[5];
    TIfStreamMemory in2("wxyz", 4);
    EXPECT_EQ(in2.ReadToken(exact, sizeof exact), 4);
    EXPECT_STREQ(exact, "wxyz");
}

TEST(MemoryReader, PathConstructorLogsMissingFileOnlyAndOwnsData)
{
    testsupport::TempDir dir;
    plat::SetGameRoot(dir.Path());
    testsupport::WriteText(dir / "empty.bin", "");
    testsupport::WriteText(dir / "Full.bin", "hello");
    const std::string logPath = g_ErrorLog.FileName();
    testsupport::WriteText(logPath, "");

    TIfStreamMemory empty("EMPTY.BIN");
    EXPECT_EQ(empty.Size(), 0);
    EXPECT_EQ(testsupport::ReadText(logPath), "");

    TIfStreamMemory missing("Data\\nothing.bin");
    EXPECT_EQ(missing.Size(), 0);
    EXPECT_NE(testsupport::ReadText(logPath).find("Data\\nothing.bin\n"), std::string::npos);

    TIfStreamMemory full("full.bin");
    ASSERT_EQ(full.Size(), 5);
    EXPECT_EQ(std::memcmp(full.Data(), "hello", 5), 0);
    plat::SetGameRoot(".");
}

TEST(MemoryWriter, GrowsByStepsKeepingTheEndBelowCapacity)
{
    TOfStreamMemory out;
    EXPECT_EQ(out.Write(nullptr, 5), 0);
    EXPECT_EQ(out.Capacity(), 0);
    std::vector<std::uint8_t> big(TOfStreamMemory::kGrowth, 0xAB);
    EXPECT_EQ(out.Write(big.data(), static_cast<std::int32_t>(big.size())), TOfStreamMemory::kGrowth);
    EXPECT_EQ(out.Capacity(), 2 * TOfStreamMemory::kGrowth);
    EXPECT_EQ(out.Size(), TOfStreamMemory::kGrowth);
    EXPECT_EQ(out.Data()[TOfStreamMemory::kGrowth - 1], 0xAB);
}

TEST(MemoryWriter, InsertPatchesWithoutMovingPosOrSize)
{
    TOfStreamMemory out;
    out.WriteU32(0);
    out.WriteU16(0xBEEF);
    const std::uint32_t len = 0x01020304;
    out.Insert(0, &len, 4);
    EXPECT_EQ(out.Size(), 6);
    EXPECT_EQ(out.Pos(), 6);
    TIfStreamMemory in(out.Data(), out.Size());
    std::uint32_t a;
    std::uint16_t b;
    in.ReadU32(a);
    in.ReadU16(b);
    EXPECT_EQ(a, 0x01020304u);
    EXPECT_EQ(b, 0xBEEF);
    out.Free();
    EXPECT_EQ(out.Size(), 0);
    EXPECT_EQ(out.Capacity(), 0);
}

TEST(MemoryWriter, FieldWritersRoundTrip)
{
    TOfStreamMemory out;
    out.WriteI8(-3);
    out.WriteI16(-300);
    out.WriteI64(-5'000'000'000LL);
    out.WriteF32(2.5f);
    out.WriteF64(-0.125);
    TIfStreamMemory in(out.Data(), out.Size());
    std::int8_t a;
    std::int16_t b;
    std::int64_t c;
    float d;
    double e;
    EXPECT_TRUE(in.ReadI8(a) && in.ReadI16(b) && in.ReadI64(c) && in.ReadF32(d) && in.ReadF64(e));
    EXPECT_EQ(a, -3);
    EXPECT_EQ(b, -300);
    EXPECT_EQ(c, -5'000'000'000LL);
    EXPECT_EQ(d, 2.5f);
    EXPECT_EQ(e, -0.125);
}

TEST(MemoryWriter, WritesAfterAFailedGrowAreRefused)
{
    TOfStreamMemory out;
    out.WriteU16(0x1234);
    const std::uint8_t byte = 7;
    // Passing 2 GiB is refused before anything is allocated or read from the source.
    EXPECT_EQ(out.Write(&byte, 0x7FFFFFFF), 0);
    EXPECT_FALSE(out.Ok());
    EXPECT_EQ(out.Write(&byte, 1), 0);
    out.WriteU32(5);
    out.Insert(0, &byte, 1);
    EXPECT_EQ(out.Size(), 2);
    EXPECT_EQ(out.Pos(), 2);
    EXPECT_EQ(out.Data()[0], 0x34);
    EXPECT_FALSE(out.SaveCompressed("never.bin"));
    out.Free();
    EXPECT_TRUE(out.Ok());
    EXPECT_EQ(out.Write(&byte, 1), 1);
}
