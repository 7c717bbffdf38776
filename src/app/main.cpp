// Program entry of the Qelt X Editor.
int main() { return 0; }
