// levelChart.h — the campaign's difficulty curve as a picture: per level, its par (the keys of
// the shortest humane win) and the powers the level needs.
#pragma once

#include <string>
#include <vector>

struct LevelSummary {
    int keys = 0;         // presses of the shortest humane win the solver found: par
    std::string needs;    // power keys the level is proved to need ("hjkl" order not required)
};

// Draws the chart and writes it as a PNG; false if the file cannot be written. The same
// summaries always give the same bytes, so a committed chart can be compared with a fresh one.
bool writeLevelChart(const std::vector<LevelSummary>& levels, const std::string& path);
