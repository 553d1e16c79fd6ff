#include "UITreeFixture.h"

std::vector<std::string> UITreeFixture::messages;
long UITreeFixture::hitQueryAnswer = 1;
