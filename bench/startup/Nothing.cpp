// SPDX-License-Identifier: MIT
// Does nothing: the start-up of a process, as the baseline of bench/vector_startup.sh.
int main() { return 0; }
