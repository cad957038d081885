#include "workbench/frame/startup.h"

int main(int argc, char** argv)
{
  return RunQuillmar(argc, argv);
}
