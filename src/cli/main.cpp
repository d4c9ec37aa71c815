// Placeholder entry point; the command-line tool is built in src/cli.
int main() { return 0; }
