#include "UITreeFixture.h"

std::vector<std::string> UITreeFixture::messages;
long UITreeFixture::hitQueryAnswer = 1;
std::function<void(ZUIMessage*)> UITreeFixture::onMessage;
