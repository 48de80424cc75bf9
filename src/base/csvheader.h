#pragma once
// The title row of a CSV file matched to the columns of a device type. The first field is the
// name column whatever its title; every other title is looked up among the catalogue names of
// the type's columns, its own position first. "|" line breaks, blanks and letter case do not
// matter. A title that names no column is left out; a column no title names stays empty.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/devicetype.h"
#include "base/result.h"

namespace veltris {

class Catalogue;

// The form titles are compared in: no "|" line breaks (a hyphen before one joins the word
// halves), no blanks, Windows-1251 letters in lower case.
std::string titleKey(std::string_view cp1251);

// A title on one line for messages, UTF-8: its "|" breaks become single blanks.
std::string oneLineTitleUtf8(std::string_view cp1251);

struct LeftOutColumn {
    int field = 0;       // the field's place in the title row, from 1
    std::string title;   // as in the file, Windows-1251
    std::string reason;  // UTF-8: "нет среди параметров типа «Диоды»", ...
};

struct HeaderMatch {
    int deviceType = 0;
    // For each field of the title row: the main-table column it fills (0 the name), -1 none.
    std::vector<int> columns;
    // The catalogue name numbers the titles give, entry c-1 for column c (a column without a
    // title of its own: 1).
    std::array<std::uint8_t, kMaxParamColumns> columnMap{};
    std::vector<LeftOutColumn> leftOut;
    int matched = 0;  // parameter columns named by a title
};

// Matches `titles` (Windows-1251) to the columns of `code`, whose catalogue must be loaded.
// With `shownMap` (records added to a base) a title must be the one that base shows for its
// column; a title that is another name of the same column is an error, since its values would
// land under a different unit. An empty title takes the column at its place only when every
// other title stands at its own column's place (the export's layout).
Result<HeaderMatch> matchHeader(std::span<const std::string> titles, const Catalogue& catalogue, int code,
                                const std::array<std::uint8_t, kMaxParamColumns>* shownMap = nullptr);

// The loaded device type whose columns the titles name most; among equals, the one with as
// many columns as the row has fields. Error (Generic) when no title names a column of any type,
// or when several types remain: the caller must then name the type.
Result<int> detectDeviceType(std::span<const std::string> titles, const Catalogue& catalogue);

// How many titles name a column of the loaded type `code` (0 for a type not loaded).
int matchedTitleCount(std::span<const std::string> titles, const Catalogue& catalogue, int code);

}  // namespace veltris
