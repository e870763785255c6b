#include "Sha256.h"

#include <gtest/gtest.h>

// Lengths around the padding boundaries (55, 56, 64 bytes), fed whole and in
// pieces that straddle the 64-byte blocks.
TEST(Sha256, KnownDigestsWholeAndInPieces)
{
    struct Row {
        std::string text;
        const char* digest;
    };
    const Row rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
    };
    for (const Row& row : rows) {
        Sha256 whole;
        whole.Add(row.text.data(), row.text.size());
        EXPECT_EQ(whole.HexDigest(), row.digest) << row.text.size();
        Sha256 pieces;
        for (size_t at = 0; at < row.text.size(); at += 7)
            pieces.Add(row.text.data() + at, std::min<size_t>(7, row.text.size() - at));
        EXPECT_EQ(pieces.HexDigest(), row.digest) << row.text.size();
    }
}
