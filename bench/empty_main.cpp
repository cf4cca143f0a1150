// The memory baseline: a C++ program that does nothing, built and linked like peer-merge.
int main() {}
