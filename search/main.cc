// The quorix CGI program.
#include <cstdio>

int main() {
  std::printf("Content-type: text/html;\n\n");
  return 0;
}
