#ifndef ANIMATIONMODEL_TESTS_EXPECT_THROW_MSG_H
#define ANIMATIONMODEL_TESTS_EXPECT_THROW_MSG_H

#include <gtest/gtest.h>

#include <string>

// Expects `statement` to throw `expected_exception` whose what() is exactly `expected_message`.
#define EXPECT_THROW_MSG(statement, expected_exception, expected_message)                                              \
    do {                                                                                                               \
        std::string animationmodel_caught_;                                                                            \
        bool animationmodel_thrown_ = false;                                                                           \
        try {                                                                                                          \
            statement;                                                                                                 \
        } catch (const expected_exception& e) {                                                                        \
            animationmodel_thrown_ = true;                                                                             \
            animationmodel_caught_ = e.what();                                                                         \
        }                                                                                                              \
        EXPECT_TRUE(animationmodel_thrown_) << #statement " did not throw " #expected_exception;                       \
        if (animationmodel_thrown_) {                                                                                  \
            EXPECT_EQ(std::string(expected_message), animationmodel_caught_);                                          \
        }                                                                                                              \
    } while (false)

#endif
