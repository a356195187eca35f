#pragma once

// Prints read and write rates of 8- and 16-bit RGB documents through the reference host.
void BenchmarkHostTraffic();
