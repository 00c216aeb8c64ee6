#pragma once
// The window's own points, sizes, rectangles and lines, in integer pixels. They keep the
// accessor names and the inclusive right/bottom of the toolkits' types, so that geometry reads
// the same whichever front end shows it; each front end converts at its own edge.

namespace kestiva {

class Point {
public:
    constexpr Point() = default;
    constexpr Point(int x, int y) : x_(x), y_(y) {}
    constexpr int x() const { return x_; }
    constexpr int y() const { return y_; }
    constexpr void setX(int x) { x_ = x; }
    constexpr void setY(int y) { y_ = y; }
    friend constexpr bool operator==(const Point&, const Point&) = default;

private:
    int x_ = 0;
    int y_ = 0;
};

class Size {
public:
    constexpr Size() = default;
    constexpr Size(int width, int height) : width_(width), height_(height) {}
    constexpr int width() const { return width_; }
    constexpr int height() const { return height_; }
    constexpr bool isEmpty() const { return width_ <= 0 || height_ <= 0; }
    friend constexpr bool operator==(const Size&, const Size&) = default;

private:
    int width_ = 0;
    int height_ = 0;
};

// x, y, width and height; right() and bottom() are the last pixel inside.
class Rect {
public:
    constexpr Rect() = default;
    constexpr Rect(int x, int y, int width, int height)
        : x_(x), y_(y), width_(width), height_(height) {}
    constexpr Rect(Point topLeft, Size size)
        : Rect(topLeft.x(), topLeft.y(), size.width(), size.height()) {}
    constexpr int x() const { return x_; }
    constexpr int y() const { return y_; }
    constexpr int width() const { return width_; }
    constexpr int height() const { return height_; }
    constexpr int right() const { return x_ + width_ - 1; }
    constexpr int bottom() const { return y_ + height_ - 1; }
    constexpr Point topLeft() const { return {x_, y_}; }
    constexpr Size size() const { return {width_, height_}; }
    constexpr bool isEmpty() const { return width_ <= 0 || height_ <= 0; }
    constexpr void moveTop(int y) { y_ = y; }
    constexpr void moveLeft(int x) { x_ = x; }
    constexpr bool contains(Point p) const {
        return p.x() >= x_ && p.x() <= right() && p.y() >= y_ && p.y() <= bottom();
    }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;

private:
    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    int height_ = 0;
};

class Line {
public:
    constexpr Line() = default;
    constexpr Line(Point p1, Point p2) : p1_(p1), p2_(p2) {}
    constexpr Line(int x1, int y1, int x2, int y2) : p1_(x1, y1), p2_(x2, y2) {}
    constexpr Point p1() const { return p1_; }
    constexpr Point p2() const { return p2_; }
    constexpr int x1() const { return p1_.x(); }
    constexpr int y1() const { return p1_.y(); }
    constexpr int x2() const { return p2_.x(); }
    constexpr int y2() const { return p2_.y(); }
    friend constexpr bool operator==(const Line&, const Line&) = default;

private:
    Point p1_;
    Point p2_;
};

}  // namespace kestiva
