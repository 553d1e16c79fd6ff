#include "ZManagedModelList.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "LoggedMessages.h"
#include "ModelFixturesSupport.h"
#include "TempDir.h"

namespace {

class ZManagedModelListTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir.file("Cube.obj"), "mtllib cube.mtl\nusemtl paint\n" + makeObjCube());
        writeFile(dir.file("cube.mtl"), "newmtl paint\nKd 1 0 0\nmap_Kd gone.png\n");
        writeFile(dir.file("broken.ms3d"), "MS3D000000");
        cache.setPrefix(dir.path().c_str());
    }
    void TearDown() override { cache.freeAll(); }

    TempDir dir;
    ZManagedModelList cache;
};

void countEntries(void* user, const char*, long count, ZModel*) {
    *static_cast<long*>(user) += count;
}

}  // namespace

TEST_F(ZManagedModelListTest, NamesThatDifferInCaseShareOneModelUntilTheLastUnload) {
    ZModel* first = nullptr;
    // The missing texture is a warning: the model is still cached.
    std::vector<std::string> log =
        loggedMessages([&] { first = cache.loadModel("Cube.obj", dir.path().c_str()); });
    ASSERT_NE(first, nullptr);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("gone.png' not loaded"), std::string::npos);
    EXPECT_EQ(first->getTriangleCount(), 12);
    EXPECT_EQ(cache.loadModel("Cube.obj", nullptr), first);
    long total = 0;
    cache.forEach(countEntries, &total);
    EXPECT_EQ(total, 2);
    EXPECT_EQ(cache.getModelByName("CUBE.OBJ"), first);
    total = 0;
    cache.forEach(countEntries, &total);
    EXPECT_EQ(total, 2);

    // The rendering half sorts and fills the buffer once.
    cache.uploadModel(first);
    EXPECT_EQ(first->getRunCount(), 1);
    EXPECT_NE(first->getVertexBuffer(), nullptr);
    ZModel stranger;
    cache.uploadModel(&stranger);
    EXPECT_EQ(stranger.getRunCount(), 0);

    cache.unloadModelByName("cube.obj");
    EXPECT_EQ(cache.getModelByName("Cube.obj"), first);
    cache.unloadModelByRef(first);
    EXPECT_EQ(cache.getModelByName("Cube.obj"), nullptr);
}

TEST_F(ZManagedModelListTest, FailedLoadsLeaveNoEntry) {
    loggedMessages([&] {
        EXPECT_EQ(cache.loadModel("broken.ms3d", ""), nullptr);
        EXPECT_EQ(cache.loadModel("absent.obj", ""), nullptr);
        EXPECT_EQ(cache.loadModel("Cube.txt", ""), nullptr);
    });
    EXPECT_EQ(cache.getModelByName("broken.ms3d"), nullptr);
    EXPECT_EQ(cache.getModelByName("absent.obj"), nullptr);
    EXPECT_EQ(cache.count, 0);
}

// Loader threads decode and release while others look the model up.
TEST_F(ZManagedModelListTest, ConcurrentLoadsAndUnloadsKeepTheCountsRight) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 20; i++) {
                ZModel* model = cache.loadModel("Cube.obj", t % 2 ? "" : nullptr);
                if (!model) ADD_FAILURE() << "no model";
                cache.getModelByName("CUBE.OBJ");
                cache.unloadModelByRef(model);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(cache.getModelByName("cube.obj"), nullptr);
    EXPECT_EQ(cache.count, 0);
}
