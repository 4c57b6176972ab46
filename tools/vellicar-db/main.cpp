// Placeholder until the tool arrives.
int main() { return 0; }
