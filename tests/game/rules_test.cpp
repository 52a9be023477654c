// The rules: the well, the shapes and their turns, fits, locks, full rows,
// the stack height and the spawn table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/rules.h"
#include "tests/support/game_harness.h"

namespace {

class Rules : public ::testing::Test {
protected:
    void SetUp() override {
        harness::ResetAll();
        ResetWell();
    }

    static void SetPiece(LONG shape, LONG rotation, LONG x, LONG y) {
        piece.shape = shape;
        piece.rotation = rotation;
        piece.x = x;
        piece.y = y;
        BuildPieceCells(shape, rotation);
    }

    static std::string Pattern() {
        std::string out;
        for (int r = 0; r < 4; ++r) {
            if (r) out += '/';
            out.append(piece.cells[r], 4);
        }
        return out;
    }

    // Fills interior row i completely (value "2") except for the given columns.
    static void FillRow(int i, std::vector<int> gaps = {}) {
        for (int j = 0; j < 8; ++j) wellGrid.cells[i + 4][j + 4] = '2';
        for (int j : gaps) wellGrid.cells[i + 4][j + 4] = '0';
    }

    static std::string Row(int gridRow) { return std::string(wellGrid.cells[gridRow], 16); }
};

TEST_F(Rules, FreshWellIsTheTemplate) {
    EXPECT_EQ(Row(0), "FFFFFF0000FFFFFF");
    EXPECT_EQ(Row(3), "FFFFFF0000FFFFFF");
    EXPECT_EQ(Row(4), "FFFF00000000FFFF");
    EXPECT_EQ(Row(19), "FFFF00000000FFFF");
    EXPECT_EQ(Row(20), "FFFFFFFFFFFFFFFF");
    UpdateStackHeight();
    EXPECT_EQ(stackHeight, 0);
}

TEST_F(Rules, EveryShapeFitsAtTheEntryInEveryRotation) {
    for (LONG shape = 0; shape < 8; ++shape)
        for (LONG rotation = 0; rotation < 4; ++rotation) {
            SetPiece(shape, rotation, 48, 0);
            EXPECT_TRUE(PieceFits(48, 0)) << "shape " << shape << " rotation " << rotation;
        }
}

TEST_F(Rules, TurnsAreAboutTheCentreOfTheBox) {
    const char* single[] = {"0000/0100/0000/0000", "0000/0010/0000/0000", "0000/0000/0010/0000", "0000/0000/0100/0000"};
    const char* straight[] = {"0000/1111/0000/0000", "0010/0010/0010/0010", "0000/0000/1111/0000",
                              "0100/0100/0100/0100"};
    for (int r = 0; r < 4; ++r) {
        SetPiece(0, r, 48, 0);
        EXPECT_EQ(Pattern(), single[r]);
        SetPiece(6, r, 48, 0);
        EXPECT_EQ(Pattern(), straight[r]);
        SetPiece(1, r, 48, 0);
        EXPECT_EQ(Pattern(), "0000/0110/0110/0000") << "the square never changes";
    }
}

TEST_F(Rules, BuildPieceCellsTouchesOnlyTheCells) {
    SetPiece(3, 0, 64, 32);
    BuildPieceCells(5, 2);
    EXPECT_EQ(piece.shape, 3);
    EXPECT_EQ(piece.rotation, 0);
    EXPECT_EQ(piece.x, 64);
    EXPECT_EQ(piece.y, 32);
}

TEST_F(Rules, SpawnTableFollowsTheFrameCounter) {
    // shape = (v + 6) mod 8, rotation = (v + 3) mod 4, at the entry.
    const char* entry[8] = {"0000/0010/0000/0000", "0000/0110/0110/0000", "0000/0010/0110/0000", "0000/1100/0110/0000",
                            "0000/0100/0110/0010", "0000/0100/0111/0000", "0100/0100/0100/0100", "0000/0100/1110/0000"};
    for (DWORD v : {0u, 1u, 2u, 3u, 17u, 1000u, 0xFFFFFFFFu}) {
        piece.x = piece.y = 99;
        SpawnPiece(v);
        EXPECT_EQ(piece.shape, static_cast<LONG>((v + 6) % 8)) << v;
        EXPECT_EQ(piece.rotation, static_cast<LONG>((v + 3) % 4)) << v;
        EXPECT_EQ(piece.x, 48);
        EXPECT_EQ(piece.y, 0);
        EXPECT_EQ(Pattern(), entry[piece.shape]) << v;
    }
    SpawnPiece(2);
    EXPECT_EQ(piece.shape, 0);
    EXPECT_EQ(piece.rotation, 1);
    SpawnPiece(1);
    EXPECT_EQ(piece.shape, 7);
    EXPECT_EQ(piece.rotation, 0);
}

TEST_F(Rules, GeneratorIsTimesFivePlusOne) {
    gameRandom.state = 0;
    EXPECT_EQ(RandomNext(), 1);
    EXPECT_EQ(RandomNext(), 6);
    EXPECT_EQ(RandomNext(), 31);
    gameRandom.state = 0x40000000u;
    EXPECT_EQ(RandomNext(), static_cast<LONG>(0x40000001u)) << "wraps modulo 2^32";
    EXPECT_EQ(RandomSeed(7), 36);
}

TEST_F(Rules, FunnelLimitsSidewaysMoves) {
    SetPiece(3, 0, 48, 0);
    EXPECT_TRUE(PieceFits(64, 0));
    EXPECT_FALSE(PieceFits(32, 0));
    SetPiece(6, 1, 48, 0);  // the straight four standing in column 2 reaches funnel rows 2 and 3
    EXPECT_TRUE(PieceFits(48, 0));
}

TEST_F(Rules, WallsFloorAndBlocksStopAlike) {
    SetPiece(0, 0, 48, 0);  // the single block at pattern (1, 1)
    EXPECT_TRUE(PieceFits(0, 16 * 14));
    EXPECT_FALSE(PieceFits(0, 16 * 17)) << "floor";
    EXPECT_TRUE(PieceFits(0, 32));
    EXPECT_FALSE(PieceFits(-16, 32)) << "left wall";
    EXPECT_FALSE(PieceFits(128, 32)) << "right wall";
    wellGrid.cells[10][5] = '4';
    EXPECT_FALSE(PieceFits(16, 16 * 7)) << "a locked block";
    EXPECT_FALSE(PieceFits(-1000, -1000)) << "far outside the grid is wall, never a read past it";
}

TEST_F(Rules, LockWritesTheShapeCharacterAndReportsIt) {
    struct Seen {
        LONG shape, column, row;
        std::string cells;
    };
    static std::vector<Seen> seen;
    seen.clear();
    rulesListener.pieceLocked = [](LONG shape, LONG column, LONG row, const char cells[4][4]) {
        seen.push_back({shape, column, row, std::string(&cells[0][0], 16)});
    };
    SetPiece(7, 0, 48, 16 * 10);
    LockPiece();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].shape, 7);
    EXPECT_EQ(seen[0].column, 6);
    EXPECT_EQ(seen[0].row, 12);
    EXPECT_EQ(Row(13), "FFFF00080000FFFF");
    EXPECT_EQ(Row(14), "FFFF00888000FFFF");
    rulesListener = RulesListener{};
}

TEST_F(Rules, SeparatedFullRowsGoInOneCall) {
    FillRow(15);
    FillRow(14, {3});
    FillRow(13);
    wellGrid.cells[4 + 12][4] = '5';  // a marker above the upper full row
    static std::vector<std::string> events;
    events.clear();
    rulesListener.rowFull = [](LONG i, const char values[8]) {
        events.push_back("full " + std::to_string(i) + " " + std::string(values, 8));
    };
    rulesListener.rowRemoved = [](LONG i) { events.push_back("removed " + std::to_string(i)); };

    EXPECT_EQ(RemoveFullRows(), 2);
    EXPECT_EQ(events, (std::vector<std::string>{"full 13 22222222", "removed 13", "full 15 22222222", "removed 15"}))
        << "the upper row is reported first";
    EXPECT_EQ(Row(19), "FFFF22202222FFFF") << "the partial row moved down into the floor row's place";
    EXPECT_EQ(Row(18), "FFFF50000000FFFF") << "the marker moved down twice";
    EXPECT_EQ(Row(4), "FFFF00000000FFFF");
    EXPECT_EQ(Row(3), "FFFFFF0000FFFFFF") << "the funnel never moves";
    UpdateStackHeight();
    EXPECT_EQ(stackHeight, 2);
    rulesListener = RulesListener{};
}

TEST_F(Rules, EveryRowAboveARemovedOneMovesDownIncludingTheTopOne) {
    FillRow(15);
    wellGrid.cells[4][5] = '7';  // the top interior row
    wellGrid.cells[5][6] = '6';  // the one below it
    EXPECT_EQ(RemoveFullRows(), 1);
    EXPECT_EQ(Row(4), "FFFF00000000FFFF");
    EXPECT_EQ(Row(5), "FFFF07000000FFFF") << "the top row's blocks moved down";
    EXPECT_EQ(Row(6), "FFFF00600000FFFF");
}

TEST_F(Rules, RemovingTheTopInteriorRowOnlyEmptiesIt) {
    FillRow(0);
    wellGrid.cells[3][6] = '3';  // a block left in the funnel
    EXPECT_EQ(RemoveFullRows(), 1);
    EXPECT_EQ(Row(4), "FFFF00000000FFFF");
    EXPECT_EQ(Row(3), "FFFFFF3000FFFFFF");
    UpdateStackHeight();
    EXPECT_EQ(stackHeight, 0) << "funnel cells are never counted";
}

TEST_F(Rules, LockThatCompletesNothingRemovesNothing) {
    static int rowEvents;
    rowEvents = 0;
    rulesListener.rowFull = [](LONG, const char*) { ++rowEvents; };
    SetPiece(1, 0, 48, 16 * 15);
    ASSERT_FALSE(PieceFits(48, 16 * 16));
    LockPiece();
    EXPECT_EQ(RemoveFullRows(), 0);
    EXPECT_EQ(rowEvents, 0);
    UpdateStackHeight();
    EXPECT_EQ(stackHeight, 2);
    rulesListener = RulesListener{};
}

TEST_F(Rules, SpawnOntoBlocksOverlapsAndLockOverwrites) {
    FillRow(0);
    FillRow(1);
    wellGrid.cells[4][4] = '0';
    SetPiece(3, 0, 48, 0);
    EXPECT_FALSE(PieceFits(48, 0));
    LockPiece();
    EXPECT_EQ(Row(3), "FFFFFF4400FFFFFF") << "funnel cells fill";
    EXPECT_EQ(Row(4), "FFFF02244222FFFF") << "blocks underneath are overwritten";
}

}  // namespace
