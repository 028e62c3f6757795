#include "engine/file_pass.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "engine/binary_dxf_reader.h"
#include "engine/drawing_geometry.h"
#include "engine/dxf_cursor.h"
#include "engine/group_code_aligner.h"
#include "engine/line_reader.h"
#include "settings/korvel_error.h"
#include "settings/path_text.h"

namespace korvel {

namespace {

// How many lines after "ENTITIES" are looked at for unaligned group codes.
constexpr int kAlignmentProbeLines = 64;

bool EndsWithDxfExtension(const std::filesystem::path& path) {
    std::string name = path.filename().string();
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".dxf";
}

// The progress position of a reader that fetches its file in 128-byte
// blocks: whole blocks fetched against whole blocks in the file, rounded to
// the nearest integer, halves to the even neighbour.
class BlockProgress {
  public:
    BlockProgress(PassHost& host, std::uint64_t size)
        : host_(host), size_(size), blocksTotal_(size / 128) {}

    void Update(std::uint64_t consumed) {
        // Every block that holds a byte consumed so far has been fetched.
        const std::uint64_t fetched = std::min(size_, (consumed + 127) / 128 * 128);
        const std::uint64_t blocks = fetched / 128;
        if (blocks == lastBlocks_) return;
        lastBlocks_ = blocks;
        int position = 100;
        if (blocksTotal_ > 0) {
            const std::uint64_t scaled = 100 * blocks;
            std::uint64_t q = scaled / blocksTotal_;
            const std::uint64_t r = scaled % blocksTotal_;
            if (2 * r > blocksTotal_ || (2 * r == blocksTotal_ && (q & 1) != 0)) ++q;
            position = static_cast<int>(q);
        }
        if (position == lastPosition_) return;
        lastPosition_ = position;
        host_.SetProgressPosition(position);
    }

  private:
    PassHost& host_;
    const std::uint64_t size_;
    const std::uint64_t blocksTotal_;
    std::uint64_t lastBlocks_ = UINT64_MAX;
    int lastPosition_ = -1;
};

}  // namespace

std::string_view FileNamePart(std::string_view path) {
#ifdef _WIN32
    std::size_t cut = path.find_last_of("\\:/");
#else
    std::size_t cut = path.find_last_of('/');
#endif
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

void FilePass::StartPass(std::string_view caption) {
    stopRequested_ = false;
    ResetCounts();
    host_.SetProgressCaption(std::string("Processing ") + std::string(caption));
    openFailed_ = false;
}

// Every remaining line of the file, group codes and values alike: any that
// names an entity type starts its extractor. Ends at the end of the file or
// at a stop request, which is seen between entities.
void FilePass::MainLoop(DxfCursor& cursor, EntityReader& entities, EntityCensus& census,
                        std::uint64_t size) {
    BlockProgress progress(host_, size);
    bool afterCode0 = false;
    for (;;) {
        if (stopRequested_) return;
        host_.PumpEvents();
        cursor.Next();
        progress.Update(cursor.ConsumedBytes());
        if (afterCode0) census.Count(cursor.Kind(), cursor.Line());
        entities.ExtractIfTicked(cursor.Kind());
        afterCode0 = cursor.Kind() == LineKind::G0;
        if (cursor.AtEnd()) return;
    }
}

void FilePass::ResetCounts() {
    counters_ = RunCounters{};
    numbers_.PointNumber = settings_.Get(field::StartNumber);
    numbers_.EntityNumber = settings_.Get(field::EntityNumberStart);
    numbers_.CodeCounter = settings_.Get(field::CounterStart);
}

void FilePass::Run(ByteSource& file, FileSink* sink, PointObserver* observer) {
    // Binary drawings are read as the ASCII DXF they stand for.
    SniffedSource sniffed(file);
    std::optional<BinaryDxfReader> binary;
    if (sniffed.IsBinaryDxf()) {
        binary.emplace(file);
        report_.emplace_back(kBinaryDxfNote);
    }
    ByteSource& text = binary ? static_cast<ByteSource&>(*binary) : sniffed;
    std::optional<GroupCodeAligner> aligner;
    if (options.alignGroupCodes) aligner.emplace(text);
    ByteSource& source = aligner ? static_cast<ByteSource&>(*aligner) : text;

    // The drawing's geometry for a preview: every line the pass reads is
    // shown to the collector as well, on the reader's own thread. The
    // collector outlives the reader, whose thread may still be feeding it.
    std::unique_ptr<GeometryCollector> geometry;
    if (DrawingGeometry* target = observer != nullptr ? observer->GeometryTarget() : nullptr)
        geometry = GeometryCollector::Create(*target, source.Size());
    LineReader reader(source);
    reader.SetTap(geometry.get());
    const auto finishGeometry = [&] {
        if (!geometry) return;
        reader.StopReadingAhead();
        geometry->Finish();
    };
    DxfCursor cursor(reader);
    // The options beyond the record: every one off reads as ever.
    std::optional<ExtendedReading> extended;
    if (options.extended.ReadingOn() || options.layerCensus != nullptr)
        extended.emplace(options.extended, options.layerCensus);
    if (extended) {
        extended->mostBlockReads = options.mostBlockReads;
        if (labels_) extended->labels = &*labels_;
    }
    const bool entitiesFound = extended && extended->NeedsTables()
                                   ? extended->tables.ReadToEntities(cursor, extended->KeepBlocks())
                                   : cursor.SkipToEntities();
    if (!entitiesFound) {
        finishGeometry();
        report_.emplace_back(kNoEntitiesWarning);
        return;
    }
    if (!options.alignGroupCodes) cursor.ProbeAlignment(kAlignmentProbeLines);
    PointWriter points(composer_, records_ != nullptr ? nullptr : sink, observer, numbers_,
                       settings_);
    std::unique_ptr<CoordinateTransform> transform;
    if (options.output != nullptr && (sink != nullptr || records_ != nullptr))
        transform = options.output->CreateTransform();
    points.SetOutput(records_, transform.get());
    if (labels_) points.SetLabels(&*labels_);
    EntityReader entities(cursor, points, settings_, counters_, options.missingZAsZero,
                          extended ? &*extended : nullptr);
    EntityCensus census;
    try {
        MainLoop(cursor, entities, census, source.Size());
        finishGeometry();
        // The points that wait for their labels go out now, with them.
        points.FinishLabels();
    } catch (DrawingError& e) {
        points.FinishLabelsQuietly();
        // What the pass has seen of the likely cause goes with the error.
        if (cursor.CodesUnaligned()) {
            e.AddHint(kUnalignedCodesWarning);
            report_.emplace_back(kUnalignedCodesWarning);
        }
        if (entities.MissingZEntities() > 0)
            e.AddHint(MissingZWarning(entities.MissingZEntities()));
        throw;
    } catch (...) {
        points.FinishLabelsQuietly();
        if (cursor.CodesUnaligned()) report_.emplace_back(kUnalignedCodesWarning);
        throw;
    }
    // Unaligned codes also leave every entity unfinished; the cause is the one to tell.
    if (cursor.CodesUnaligned())
        report_.emplace_back(kUnalignedCodesWarning);
    else if (entities.EndedInsideEntity())
        report_.emplace_back(kTruncatedWarning);
    if (entities.MissingZEntities() > 0)
        report_.push_back(MissingZWarning(entities.MissingZEntities()));
    if (extended) extended->AppendReport(report_);
    if (labels_) labels_->AppendReport(report_);
    if (options.layerCensus != nullptr) options.layerCensus->SetTable(extended->tables.Layers());
    if (!cursor.CodesUnaligned() && !entities.EndedInsideEntity()) {
        std::string warning = census.NoTickedTypeWarning(settings_, counters_);
        if (!warning.empty()) report_.push_back(std::move(warning));
    }
}

bool FilePass::OpenDrawing(const std::filesystem::path& dxfPath, FileSource& source) {
    StartPass(FileNamePart(PathText(dxfPath)));
    if (source.Open(dxfPath)) return true;
    report_.emplace_back(kOpenErrorLine);
    openFailed_ = true;
    return false;
}

void FilePass::RunNamed(ByteSource& source, FileSink* sink, PointObserver* observer,
                        std::string_view caption) {
    labels_.reset();
    if (options.extended.labels.Any()) labels_.emplace(options.extended.labels);
    try {
        Run(source, sink, observer);
    } catch (DrawingError& e) {
        e.SetDrawing(caption);
        throw;
    }
}

void FilePass::ConvertDxfFile(const std::filesystem::path& dxfPath,
                              const std::filesystem::path& dataPath) {
    FileSource source;
    if (!OpenDrawing(dxfPath, source)) return;
    // Never write a data file over the drawing being read, nor over any other
    // drawing: the destination may well be the source folder. A link is
    // judged by the file it leads to.
    std::error_code ec;
    if (source.SameFileAs(dataPath) ||
        (std::filesystem::exists(dataPath, ec) &&
         (EndsWithDxfExtension(dataPath) ||
          EndsWithDxfExtension(std::filesystem::canonical(dataPath, ec)))))
        ThrowIoError(IoCode::AccessDenied);
    if (options.output != nullptr) {
        if (std::unique_ptr<RecordSink> records =
                options.output->CreateSink(dataPath, host_.ExportedDataFields())) {
            RunIntoRecords(source, *records, FileNamePart(PathText(dxfPath)));
            return;
        }
    }
    FileSink sink;
    sink.Create(dataPath);
    try {
        RunNamed(source, &sink, nullptr, FileNamePart(PathText(dxfPath)));
    } catch (...) {
        // The lines before the failing one belong in the file; the first
        // error is the one to report.
        try {
            sink.Close();
        } catch (...) {
        }
        throw;
    }
    sink.Close();
}

void FilePass::RunIntoRecords(ByteSource& source, RecordSink& records, std::string_view caption) {
    records_ = &records;
    try {
        RunNamed(source, nullptr, nullptr, caption);
    } catch (...) {
        records_ = nullptr;
        // As with the text lines: the points before the failing one are kept.
        records.Abandon();
        throw;
    }
    records_ = nullptr;
    records.Close();
}

void FilePass::ConvertDxfFile(const std::filesystem::path& dxfPath, FileSink& sink) {
    FileSource source;
    if (!OpenDrawing(dxfPath, source)) return;
    ConvertOpen(source, sink, FileNamePart(PathText(dxfPath)));
}

void FilePass::ConvertOpen(ByteSource& source, FileSink& sink, std::string_view caption) {
    if (options.output != nullptr) {
        if (std::unique_ptr<RecordSink> records =
                options.output->CreateStreamSink(sink, host_.ExportedDataFields())) {
            RunIntoRecords(source, *records, caption);
            sink.Flush();
            return;
        }
    }
    RunNamed(source, &sink, nullptr, caption);
    sink.Flush();
}

void FilePass::ConvertDxfFile(const std::filesystem::path& dxfPath, PointObserver& observer) {
    FileSource source;
    if (!OpenDrawing(dxfPath, source)) return;
    RunNamed(source, nullptr, &observer, FileNamePart(PathText(dxfPath)));
}

void FilePass::CountDxfFile(const std::filesystem::path& dxfPath) {
    FileSource source;
    if (!OpenDrawing(dxfPath, source)) return;
    RunNamed(source, nullptr, nullptr, FileNamePart(PathText(dxfPath)));
}

void FilePass::ConvertStream(ByteSource& source, FileSink& sink, std::string_view caption) {
    StartPass(caption);
    ConvertOpen(source, sink, caption);
}

void FilePass::ConvertToObserver(ByteSource& source, PointObserver& observer,
                                 std::string_view caption) {
    StartPass(caption);
    RunNamed(source, nullptr, &observer, caption);
}

}  // namespace korvel
