// Draws the windows into PNG files; filled in with the screenshot script.
int main() { return 0; }
