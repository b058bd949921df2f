// Descriptors, records, the handler registry, the stream-creator list and the
// built-in image handler.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "DataDoubles.h"
#include "DataFixture.h"
#include "OvControl.h"
#include "OvData.h"
#include "Pixmere.h"
#include "data/OvDataManager.h"
#include "data/OvLoadData.h"
#include "data/OvStreamCreatorList.h"

namespace {

TEST(DataInfo, InitResetsIdentityAndCopiesShareEverything) {
    COvDataInfo info;
    EXPECT_EQ(0, info.m_nType);
    EXPECT_EQ(0, info.m_nDataID);
    EXPECT_TRUE(info.m_strName.IsEmpty());
    info.m_nDataID = 42;
    info.Init(1, "a.jpg", 1, 1);
    EXPECT_EQ(0, info.m_nDataID);
    COvDataInfo copy(info);
    copy.m_nDataID = 5;
    COvDataInfo assigned;
    assigned = copy;
    EXPECT_EQ(1, assigned.m_nType);
    EXPECT_EQ(5, assigned.m_nDataID);
    EXPECT_STREQ("a.jpg", assigned.m_strName);
    EXPECT_EQ(1, assigned.m_nPriority);
    EXPECT_EQ(1, assigned.m_nFlags);
}

TEST(DataHandler, BaseInitRefusesNullControl) {
    COvDataHandler handler;
    COvControl control;
    EXPECT_EQ(OV_E_NULL_CONTROL, handler.Init(nullptr));
    EXPECT_EQ(nullptr, handler.m_pControl);
    EXPECT_EQ(0, handler.Init(&control));
    EXPECT_EQ(&control, handler.m_pControl);
    int size = 7;
    EXPECT_EQ(nullptr, handler.CreateData(nullptr, &size));
    EXPECT_EQ(7, size);
}

TEST(DataManager, RegistryReplacesFallsBackAndFreesEachHandlerOnce) {
    CountingHandler first;
    CountingHandler second;
    {
        COvDataManager registry;
        COvDataHandler* builtIn = registry.GetHandler(1);
        EXPECT_NE(nullptr, dynamic_cast<COvImageDataHandler*>(builtIn));
        EXPECT_FALSE(registry.IsDataHandlerAvailable(1));
        EXPECT_EQ(builtIn, registry.GetHandler(5));

        registry.AddDataHandler(5, &first);
        registry.AddDataHandler(5, &first);  // the same one again: kept, not freed
        registry.AddDataHandler(6, &first);  // one handler for two types
        registry.AddDataHandler(5, &second);
        EXPECT_EQ(0, first.freedHandler) << "type 6 still uses it";
        EXPECT_EQ(&first, registry.GetHandler(6));
        EXPECT_TRUE(registry.IsDataHandlerAvailable(5));
        EXPECT_EQ(&second, registry.GetHandler(5));
        registry.AddDataHandler(7, &second);
    }
    EXPECT_EQ(1, first.freedHandler);
    EXPECT_EQ(1, second.freedHandler);
}

// A creator that serves only one name and records who was asked.
class OneNameCreator final : public CQrStreamCreator {
public:
    OneNameCreator(std::string name, std::vector<std::string>* asked, int* freed)
        : m_Name(std::move(name)), m_pAsked(asked), m_pFreed(freed) {}
    void Free() override {
        ++*m_pFreed;
        delete this;
    }
    CQrReadStream* CreateStream(const char* name) override {
        m_pAsked->push_back(m_Name);
        if (m_Name != name)
            return nullptr;
        return new CQrMemoryReadStream(m_Name.data(), m_Name.size());
    }
    void FreeStream(CQrReadStream* stream) override { delete stream; }

private:
    std::string m_Name;
    std::vector<std::string>* m_pAsked;
    int* m_pFreed;
};

TEST(StreamCreatorList, GrowsByTheRuleAsksInOrderAndFreesEachCreatorOnce) {
    std::vector<std::string> asked;
    int freed = 0;
    {
        COvStreamCreatorList list;
        EXPECT_EQ(0u, list.GetCapacity());
        auto* a = new OneNameCreator("A", &asked, &freed);
        EXPECT_EQ(0, list.Add(a));
        EXPECT_EQ(100u, list.GetCapacity());
        EXPECT_EQ(1, list.Add(new OneNameCreator("B", &asked, &freed)));
        for (int i = 2; i < 99; ++i)
            list.Add(new OneNameCreator("x", &asked, &freed));
        EXPECT_EQ(99, list.Add(a));  // the same creator twice
        EXPECT_EQ(100u, list.GetCapacity());
        EXPECT_EQ(100, list.Add(new OneNameCreator("y", &asked, &freed)));
        EXPECT_EQ(300u, list.GetCapacity());
        EXPECT_LT(list.Add(nullptr), 0);

        CQrStreamCreator* maker = nullptr;
        CQrReadStream* stream = list.OpenStream("A", &maker);
        ASSERT_NE(nullptr, stream);
        maker->FreeStream(stream);
        EXPECT_EQ(std::vector<std::string>{"A"}, asked);  // B and the file creator never asked

        asked.clear();
        stream = list.OpenStream("B", &maker);
        ASSERT_NE(nullptr, stream);
        maker->FreeStream(stream);
        EXPECT_EQ((std::vector<std::string>{"A", "B"}), asked);

        asked.clear();
        stream = list.OpenStream("/nonexistent/orvane/none", &maker);
        EXPECT_EQ(nullptr, stream);
        EXPECT_EQ(101u, asked.size());
        EXPECT_EQ(list.GetFileCreator(), maker);
    }
    EXPECT_EQ(100, freed);
}

TEST(LoadStep, FreesEveryStreamAndTurnsFailuresIntoNoData) {
    CountingHandler handler;  // outlives the registry, which frees it
    COvStreamCreatorList creators;
    auto* names = new NameStreamCreator;
    creators.Add(names);
    COvDataManager registry;
    registry.AddDataHandler(7, &handler);

    struct Case {
        const char* name;
        bool data;
        int size;
    } cases[] = {
        {"good", true, 100},
        {"bad-handler", false, 0},
        {"missing-everywhere", false, 0},
        {"huge", true, 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int size = -1;
        void* data = OvLoadData(MakeInfo(7, c.name), creators, registry, &size);
        EXPECT_EQ(c.data, data != nullptr);
        EXPECT_EQ(c.size, size);
        handler.FreeData(&data);
    }
    EXPECT_EQ(names->opened - 1, names->closed);  // every stream opened was freed
    EXPECT_EQ(0, handler.Live());
    EXPECT_EQ(0, handler.faults);
}

// A 100 x 50 picture through the built-in handler, from a client creator and from a file.
TEST(ImageDataHandler, LoadsPicturesAndCountsTheirBytes) {
    CPxImageData24 picture;
    ASSERT_EQ(0, picture.NewImage(100, 50));
    std::vector<unsigned char> bmp;
    ASSERT_EQ(0, PxEncodeBmp(picture, bmp));
    const std::string path = ::testing::TempDir() + "ov_datalayer_100x50.bmp";
    ASSERT_EQ(0, PxSaveBmp(picture, path.c_str()));

    COvControl control;
    ASSERT_EQ(0, control.Init(0, nullptr));
    auto* memory = new CQrMemoryStreamCreator;
    memory->RegisterBuffer("memory:picture", bmp.data(), bmp.size());
    memory->RegisterBuffer("memory:garbage", "not a picture", 13);
    control.AddStreamCreator(memory);
    EXPECT_FALSE(control.IsDataHandlerAvailable(1));

    for (const std::string& name : {std::string("memory:picture"), path}) {
        SCOPED_TRACE(name);
        COvDataInfo info = MakeInfo(1, name, 2);
        COvMemData* data = nullptr;
        ASSERT_EQ(0, control.GetData(&data, &info, nullptr));
        ASSERT_NE(nullptr, data);
        EXPECT_EQ(15064, data->m_nSize);
        auto* image = static_cast<CPxImageData24*>(data->m_pData);
        EXPECT_EQ(100, image->GetWidth());
        EXPECT_EQ(50, image->GetHeight());
        control.UnLockData(data);
    }

    COvDataInfo garbage = MakeInfo(1, "memory:garbage", 2);
    COvMemData* data = nullptr;
    EXPECT_EQ(OV_DATA_QUEUED, control.GetData(&data, &garbage, nullptr));
    control.Exit();
    std::remove(path.c_str());
}

}  // namespace
