#include "linux/key_codes.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace thumbrover {
namespace {

TEST(QtKeyPress, KeysymsOfLettersAndDigitsGiveTheirQtKey) {
    EXPECT_EQ(qt_key_for_keysym('1'), static_cast<std::uint32_t>(Qt::Key_1));
    EXPECT_EQ(qt_key_for_keysym('t'), static_cast<std::uint32_t>(Qt::Key_T));
    EXPECT_EQ(qt_key_for_keysym('T'), static_cast<std::uint32_t>(Qt::Key_T));
    EXPECT_EQ(qt_key_for_keysym('!'), 0u);
    EXPECT_EQ(qt_key_for_keysym(0xff0d), 0u);  // Return
}

}  // namespace
}  // namespace thumbrover
